#include "platform/qt/image/format.h"

namespace mirvane::platform::qt::image {

Format Sniff(const QByteArray& b) {
  const QByteArrayView view(b);
  const auto starts = [&](QByteArrayView magic, qsizetype at = 0) {
    return view.size() >= at + magic.size() && view.sliced(at).startsWith(magic);
  };
  if (starts("\x89PNG\r\n\x1a\n")) return Format::kPng;
  if (starts("\xff\xd8\xff")) return Format::kJpeg;
  if (starts("GIF87a") || starts("GIF89a")) return Format::kGif;
  if (starts("BM")) return Format::kBmp;
  if (starts("RIFF") && starts("WEBP", 8)) return Format::kWebp;
  if (starts(QByteArrayView("II*\0", 4)) || starts(QByteArrayView("MM\0*", 4)) ||
      starts(QByteArrayView("II+\0", 4)) || starts(QByteArrayView("MM\0+", 4)))
    return Format::kTiff;
  // PCX has no real signature; the reader checks the rest of the header and refuses.
  if (view.size() >= 2 && uchar(view[0]) == 0x0a && uchar(view[1]) <= 5) return Format::kPcx;
  return Format::kUnknown;
}

}  // namespace mirvane::platform::qt::image
