#include <stb_image.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "image/budget.h"
#include "platform/error.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {
namespace {

quint32 Le32(const QByteArray& b, int at) {
  const auto* p = reinterpret_cast<const uchar*>(b.constData()) + at;
  return p[0] | p[1] << 8 | p[2] << 16 | quint32(p[3]) << 24;
}

void SetLe32(QByteArray& b, int at, quint32 v) {
  for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i));
}

}  // namespace

QImage ReadStb(const QByteArray& original) {
  if (original.size() > std::numeric_limits<int>::max()) throw Error("file too large");
  QByteArray bytes = original;
  // This stb_image knows no 56-byte (V3) info header. Rewritten as the common 40-byte
  // header with its three colour masks (alpha mask dropped), it reads the same pixels.
  if (bytes.size() >= 70 && bytes.startsWith("BM") && Le32(bytes, 14) == 56 &&
      Le32(bytes, 10) >= 70) {
    const quint32 offset = Le32(bytes, 10);
    if (offset <= quint32(bytes.size())) {
      bytes = bytes.left(66) + bytes.mid(offset);
      SetLe32(bytes, 14, 40);
      SetLe32(bytes, 10, 66);
    }
  }
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.constData());
  const int length = static_cast<int>(bytes.size());
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(data, length, &w, &h, &channels)) {
    throw Error(std::string("unreadable picture: ") + stbi_failure_reason());
  }
  // Top-down files report a negative height here.
  if (!mirvane::image::WithinBudget(std::abs(qint64(w)), std::abs(qint64(h))))
    throw Error("picture too large");
  const std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
      stbi_load_from_memory(data, length, &w, &h, &channels, 4), stbi_image_free);
  if (!pixels) throw Error(std::string("unreadable picture: ") + stbi_failure_reason());
  QImage image(w, h, QImage::Format_RGBA8888);
  if (image.isNull()) throw Error("out of memory");
  for (int y = 0; y < h; ++y) {
    std::memcpy(image.scanLine(y), pixels.get() + qsizetype(y) * w * 4, size_t(w) * 4);
  }
  return image;
}

}  // namespace mirvane::platform::qt::image
