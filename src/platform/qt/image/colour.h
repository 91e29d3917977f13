#pragma once

#include <QByteArray>
#include <QImage>

namespace mirvane::platform::qt::image {

// Brings an opaque RGB32 `image` from the colour space it is tagged with to sRGB, through
// QColorSpace when Qt can read the profile and Little CMS when it cannot. An untagged
// picture is taken as sRGB; a profile that neither can use, or one for another kind of
// pixel (CMYK on RGB), is ignored. The result is tagged sRGB.
void ToSrgb(QImage& image);

// An opaque RGB32 picture from CMYK samples (4 bytes a pixel, 0 no ink; `inverted` when 0
// is full ink, as Adobe's JPEGs store it) through the CMYK profile `icc`, or by the plain
// formula when there is no usable one. Null when out of memory.
QImage CmykToSrgb(const uchar* cmyk, int width, int height, qsizetype stride, const QByteArray& icc,
                  bool inverted);

}  // namespace mirvane::platform::qt::image
