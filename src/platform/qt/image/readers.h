#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include "image/format.h"

// The readers behind Decode. Each throws Error on anything it cannot draw and refuses
// pictures over budget before allocating their pixels.
//
// Every reader, of whatever format, hands over the picture as the file holds it and
// leaves the rest to Decode, which does it once for all: the image is upright (the
// file's orientation applied), in whatever QImage format suits the file (palette,
// 1-bit, grey, 16 bits, with or without alpha), and tagged with the file's embedded
// colour profile through QImage::setColorSpace(QColorSpace::fromIccProfile(...)), which
// keeps the bytes of profiles Qt cannot use (CMYK, table-based) for Little CMS; an
// untagged image is taken as sRGB. Readers do not convert colours, remove alpha or
// scale, except that one may decode smaller where its format does that cheaply (JPEG's
// DCT scaling), never below the fit of `box` either way round (CoverSize). CMYK, which QImage
// cannot hold, is converted with CmykToSrgb (colour.h).
namespace mirvane::platform::qt::image {

using mirvane::image::Format;

struct Picture {
  QImage image;  // upright, full size or reduced but at least CoverSize(full, box)
  QSize full;    // the picture's own size, upright
};

// Qt's image plugins.
Picture ReadWithQt(const QByteArray& bytes, Format format, QSize box);
// libjpeg, for CMYK JPEGs only (false for any other file): their profile needs the
// CMYK samples. Reduced by DCT scaling like Qt's plugin, orientation not applied.
bool ReadCmykJpeg(const QByteArray& bytes, QSize box, Picture& picture);
// libtiff: the first directory at full size, upright.
QImage ReadTiff(const QByteArray& bytes);
// Stops libtiff's default handlers from writing to stderr, for Qt's TIFF plugin too,
// which uses the same library: a damaged fax strip can warn for every line.
void QuietTiff();
// stb_image, for the BMP variants Qt refuses: full size.
QImage ReadStb(const QByteArray& bytes);
// ZSoft PCX, full size.
QImage ReadPcx(const QByteArray& bytes);

}  // namespace mirvane::platform::qt::image
