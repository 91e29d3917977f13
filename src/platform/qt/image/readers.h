#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include "image/format.h"
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
// stb_image, for the BMP variants Qt refuses: full size.
QImage ReadStb(const QByteArray& bytes);
// ZSoft PCX, full size.
QImage ReadPcx(const QByteArray& bytes);

}  // namespace mirvane::platform::qt::image
