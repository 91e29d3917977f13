#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <optional>

#include "image/format.h"
#include "image/pixels.h"
#include "platform/qt/image/decode.h"

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
// DCT scaling, a camera's JPEG preview), never below the fit of `box` either way round
// (CoverSize). CMYK, which QImage cannot hold, is converted with CmykToSrgb (colour.h).
// SVG alone is drawn at the size it is shown at. Animations hand each frame as read to
// a FrameCollector (frames.h), which finishes it like a still picture.
namespace mirvane::platform::qt::image {

using mirvane::image::Format;

struct Picture {
  QImage image;        // upright, full size or reduced but at least CoverSize(full, box)
  QSize full;          // the picture's own size, upright
  QImage fitted = {};  // optional: upright, already reduced to the fit of the box as shown
};

// Our own PNG decoder: still, non-interlaced pictures, reduced while decoding to no less
// than CoverSize(full, box) and, when larger, also to the fit of `shown` (the box as
// turned); tagged and turned upright as ReadWithQt does.
Picture ReadPng(const QByteArray& bytes, QSize box, QSize shown);
// Qt's image plugins.
Picture ReadWithQt(const QByteArray& bytes, Format format, QSize box);
// libjpeg, for CMYK JPEGs only (false for any other file): their profile needs the
// CMYK samples. Reduced by DCT scaling like Qt's plugin; upright.
bool ReadCmykJpeg(const QByteArray& bytes, QSize box, Picture& picture);
// libtiff: the first directory at full size, upright.
QImage ReadTiff(const QByteArray& bytes);
// Stops libtiff's default handlers from writing to stderr, for Qt's TIFF plugin too,
// which uses the same library: a damaged fax strip can warn for every line.
void QuietTiff();
// stb_image, for TGA and the BMP variants Qt refuses: full size.
QImage ReadStb(const QByteArray& bytes);
// ZSoft PCX, full size.
QImage ReadPcx(const QByteArray& bytes);

// libheif: HEIC and still AVIF, tagged with their colour profile.
Picture ReadHeif(const QByteArray& bytes);
// AVIF: image sequences through libavif, frame by frame; single pictures through ReadHeif.
Decoded ReadAvif(const QByteArray& bytes, QSize box, int quarter_turns);
// libjxl: a still picture or all frames of an animation.
Decoded ReadJxl(const QByteArray& bytes, QSize box, int quarter_turns);
// LibRaw: the embedded preview, decoded at reduced size like a JPEG, or the raw
// developed; upright.
Picture ReadRaw(const QByteArray& bytes, QSize box);
// Qt SVG: drawn straight at the size `box` fits it to.
Picture ReadSvg(const QByteArray& bytes, QSize box);
// Every frame of an animated GIF or WebP (Qt's plugins) or APNG; nothing for a still
// picture, which the other readers take.
std::optional<Decoded> ReadAnimation(const QByteArray& bytes, Format format, QSize box,
                                     int quarter_turns);

// A neutral decoded buffer as an image, without copying it.
QImage FromPixels(mirvane::image::Pixels&& pixels);

// Decode's steps, shared with FrameCollector.
// 32 bits a pixel, over white, still in its colour space.
QImage Opaque(QImage image);
// `image` scaled to `size`, in sRGB.
QImage InSrgb(const QImage& image, QSize size);
// A picture as read, finished for `box` and `quarter_turns`.
Decoded Finished(Picture picture, QSize box, int quarter_turns);

}  // namespace mirvane::platform::qt::image
