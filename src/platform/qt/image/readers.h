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
namespace mirvane::platform::qt::image {

using mirvane::image::Format;

// Qt's image plugins, decoding straight to the fitted size where the plugin can.
Decoded ReadWithQt(const QByteArray& bytes, Format format, QSize box);
// libtiff's RGBA interface: the first directory at full size.
QImage ReadTiff(const QByteArray& bytes);
// Stops libtiff's default handlers from writing to stderr, for Qt's TIFF plugin too,
// which uses the same library: a damaged fax strip can warn for every line.
void QuietTiff();
// stb_image, for TGA and the BMP variants Qt refuses: full size.
QImage ReadStb(const QByteArray& bytes);
// ZSoft PCX, full size.
QImage ReadPcx(const QByteArray& bytes);

// libheif: HEIC and still AVIF, tagged with their colour profile.
Decoded ReadHeif(const QByteArray& bytes, QSize box);
// AVIF: image sequences through libavif, frame by frame; single pictures through ReadHeif.
Decoded ReadAvif(const QByteArray& bytes, QSize box);
// libjxl: a still picture or all frames of an animation.
Decoded ReadJxl(const QByteArray& bytes, QSize box);
// LibRaw: the embedded preview, decoded straight to size, or the raw developed.
Decoded ReadRaw(const QByteArray& bytes, QSize box);
// Qt SVG: drawn straight at the fitted size.
Decoded ReadSvg(const QByteArray& bytes, QSize box);
// Every frame of an animated GIF or WebP (Qt's plugins) or APNG; nothing for a still
// picture, which the other readers take.
std::optional<Decoded> ReadAnimation(const QByteArray& bytes, Format format, QSize box);

// Helpers shared by the readers.
// A neutral decoded buffer as an image, without copying it.
QImage FromPixels(mirvane::image::Pixels&& pixels);
// `image` in the 32-bit format that draws fastest, keeping its colour space.
QImage ForDrawing(QImage image);
// `full` scaled to fit `box` and made ready for drawing.
Decoded Fitted(const QImage& full, QSize box);

}  // namespace mirvane::platform::qt::image
