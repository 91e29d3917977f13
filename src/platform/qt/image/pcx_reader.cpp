#include "image/readers/pcx.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {

QImage ReadPcx(const QByteArray& bytes) {
  return FromPixels(mirvane::image::DecodePcx(std::string_view(bytes.constData(), bytes.size())));
}

}  // namespace mirvane::platform::qt::image
