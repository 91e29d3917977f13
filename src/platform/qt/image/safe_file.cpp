#include "platform/qt/image/safe_file.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>

#include "image/budget.h"
#include "image/format.h"
#include "image/head_check.h"
#include "platform/error.h"

namespace mirvane::platform::qt::image {

void CheckHead(std::string_view head, std::int64_t size, std::string_view name) {
  if (mirvane::image::CheckHead(head, size, name) != mirvane::image::Format::kUnknown) return;
  // Formats we do not sniff ourselves but a Qt plugin may read (ICO, PNM, TGA, SVG...):
  // the plugins tell from the same first bytes.
  QByteArray bytes = QByteArray::fromRawData(head.data(), static_cast<qsizetype>(head.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  if (QImageReader::imageFormat(&buffer).isEmpty()) throw Error("not a picture");
}

QByteArray ReadPicture(posix::RegularFile& file, const std::string& name) {
  const std::int64_t size = file.size();
  if (size <= 0) throw Error(name + ": empty file");
  if (size > mirvane::image::kMaxFileBytes) throw Error(name + ": file too large");
  QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
  const auto head_size = static_cast<std::size_t>(
      std::min<std::int64_t>(size, static_cast<std::int64_t>(mirvane::image::kHeadBytes)));
  const std::int64_t head = file.ReadInto(bytes.data(), head_size);
  if (head < 0) throw Error(name + ": read error");
  try {
    CheckHead(std::string_view(bytes.constData(), static_cast<std::size_t>(head)), size, name);
  } catch (const Error& e) {
    throw Error(name + ": " + e.what());
  }
  std::int64_t got = head;
  if (head == static_cast<std::int64_t>(head_size) && head < size) {
    const std::int64_t rest =
        file.ReadInto(bytes.data() + head, static_cast<std::size_t>(size - head));
    if (rest < 0) throw Error(name + ": read error");
    got += rest;
  }
  bytes.truncate(static_cast<qsizetype>(got));  // shrank while we read: decode what is there
  return bytes;
}

QByteArray ReadRegularFile(const std::string& name) {
  posix::RegularFile file(name);
  if (!file.is_open()) throw Error(name + ": " + file.error());
  return ReadPicture(file, name);
}

}  // namespace mirvane::platform::qt::image
