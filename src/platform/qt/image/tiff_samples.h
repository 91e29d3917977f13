#pragma once

#include <tiffio.h>

#include <QByteArray>
#include <QImage>

namespace mirvane::platform::qt::image {

// Reads the current directory sample by sample: any integer depth from 1 to 32 bits,
// 16/24/32/64-bit floats, grey, RGB or CMYK, strips or tiles, contiguous or planar.
// For what libtiff's RGBA interface refuses, and for CMYK, converted through the profile
// `icc` when it is a usable CMYK one. `w` x `h` must be within budget. Throws Error.
QImage ReadTiffSamples(TIFF* tif, uint32_t w, uint32_t h, const QByteArray& icc);

}  // namespace mirvane::platform::qt::image
