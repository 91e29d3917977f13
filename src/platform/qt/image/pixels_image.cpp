#include <new>
#include <utility>

#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {

QImage FromPixels(mirvane::image::Pixels&& decoded) {
  auto* pixels = new mirvane::image::Pixels(std::move(decoded));
  // The image takes the decoded buffer over rather than copying a picture of up to 512 MiB.
  const QImage image(
      reinterpret_cast<const uchar*>(pixels->argb.data()), pixels->width, pixels->height,
      qsizetype(pixels->width) * 4,
      pixels->has_alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32,
      [](void* p) { delete static_cast<mirvane::image::Pixels*>(p); }, pixels);
  if (image.isNull()) {
    delete pixels;
    throw std::bad_alloc();
  }
  return image;
}

}  // namespace mirvane::platform::qt::image
