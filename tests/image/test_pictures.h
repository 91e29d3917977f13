#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace mirvane::test {

// A w x h picture, its left half red and its right half blue.
QImage TwoTone(int w, int h);

// PCX bytes of `image` with the given layout: bits 8 planes 1 (256 colours, palette at
// the end), 8/3 (RGB), 1/1 (mono), 1/4 (16 colours planar), 4/1 (16 colours packed).
// Only the colours red, blue, black and white are kept exactly.
QByteArray Pcx(const QImage& image, int bits, int planes, bool rle = true);

// GIF bytes of `image` in 3-3-2 colours (red, blue, black and white exact), LZW-coded
// with only literal codes; Qt writes no GIF.
QByteArray Gif(const QImage& image);

// An EXIF block (TIFF structure) holding only `orientation` (1-8).
QByteArray ExifBlock(int orientation);

// `jpeg` with an EXIF APP1 segment giving `orientation` (1-8).
QByteArray WithExifOrientation(const QByteArray& jpeg, int orientation);

// `png` with a chunk of `type` holding `data`, right after its header.
QByteArray PngWithChunk(const QByteArray& png, const char* type, const QByteArray& data);

// `png` with an eXIf chunk giving `orientation`, right after its header.
QByteArray PngWithExif(const QByteArray& png, int orientation);

// A still PNG of `samples` (rows of packed big-endian samples, as PNG stores them), with
// `chunks` (type, data) between its header and its image data.
struct PngLayout {
  PngLayout(int w, int h, int type, int depth, int row_filter = -1)
      : width(w), height(h), colour_type(type), bit_depth(depth), filter(row_filter) {}
  int width, height, colour_type, bit_depth;
  int filter;  // every row's filter type (5 and over: none such); -1 cycles through all five
  std::vector<std::pair<QByteArray, QByteArray>> chunks;
};
QByteArray Png(const PngLayout& layout, const QByteArray& samples);

// An animated PNG of `frames` (all of the first one's size and alpha), each shown
// `delay_ms`, the whole played `plays` times (0 forever). Qt writes no APNG.
QByteArray Apng(const std::vector<QImage>& frames, int delay_ms, int plays);

// A DNG of `image` as a camera would store it: 16-bit samples behind an RGGB colour
// filter, with a colour matrix that makes the camera's primaries sRGB's. With
// `preview`, a JPEG of the picture turned by `orientation` (EXIF 1, 3, 6 or 8) goes in
// front, as cameras store theirs, and the raw data in a sub-image.
QByteArray Dng(const QImage& image, bool preview = false, int orientation = 1);

// Runs an encoder: `program` with `args`; true when it ran and succeeded in time.
bool Run(const QString& program, const QStringList& args, int timeout_ms = 60000);

// Writes `bytes` to `path`; true on success.
bool WriteFile(const QString& path, const QByteArray& bytes);

// True when `a` and `b` differ by at most `tolerance` in every channel.
bool Near(QColor a, QColor b, int tolerance = 40);

}  // namespace mirvane::test
