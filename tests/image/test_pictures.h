#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

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

// Writes `bytes` to `path`; true on success.
bool WriteFile(const QString& path, const QByteArray& bytes);

// True when `a` and `b` differ by at most `tolerance` in every channel.
bool Near(QColor a, QColor b, int tolerance = 40);

}  // namespace mirvane::test
