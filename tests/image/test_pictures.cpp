#include "test_pictures.h"

#include <QFile>
#include <QPainter>
#include <cstdlib>
#include <vector>

namespace mirvane::test {
namespace {

constexpr QRgb kColours[4] = {0xff000000, 0xffffffff, 0xffff0000, 0xff0000ff};

int ColourIndex(QRgb c) {
  for (int i = 0; i < 4; ++i)
    if ((c & 0xffffff) == (kColours[i] & 0xffffff)) return i;
  return 0;
}

void Put16(QByteArray& b, int at, int v) {
  b[at] = char(v & 0xff);
  b[at + 1] = char(v >> 8);
}

void Encode(QByteArray& out, const std::vector<uchar>& line, bool rle) {
  for (size_t i = 0; i < line.size();) {
    size_t n = 1;
    while (rle && i + n < line.size() && n < 63 && line[i + n] == line[i]) ++n;
    if (rle && (n > 1 || (line[i] & 0xc0) == 0xc0))
      out.append(char(0xc0 | n));
    else if (!rle)
      n = 1;
    out.append(char(line[i]));
    i += n;
  }
}

}  // namespace

QImage TwoTone(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  QPainter p(&image);
  p.fillRect(0, 0, w / 2, h, Qt::red);
  p.fillRect(w / 2, 0, w - w / 2, h, Qt::blue);
  return image;
}

QByteArray Pcx(const QImage& image, int bits, int planes, bool rle) {
  const int w = image.width(), h = image.height();
  const int bpl = ((w * bits + 7) / 8 + 1) & ~1;
  QByteArray out(128, '\0');
  out[0] = 0x0a, out[1] = 5, out[2] = rle ? 1 : 0, out[3] = char(bits);
  Put16(out, 8, w - 1);
  Put16(out, 10, h - 1);
  for (int i = 0; i < 4; ++i) {
    out[16 + 3 * i] = char(qRed(kColours[i]));
    out[17 + 3 * i] = char(qGreen(kColours[i]));
    out[18 + 3 * i] = char(qBlue(kColours[i]));
  }
  out[65] = char(planes);
  Put16(out, 66, bpl);
  out[68] = 1;
  std::vector<uchar> line(size_t(bpl) * planes);
  for (int y = 0; y < h; ++y) {
    std::fill(line.begin(), line.end(), 0);
    for (int x = 0; x < w; ++x) {
      const QRgb c = image.pixel(x, y);
      if (bits == 8 && planes >= 3) {
        line[x] = uchar(qRed(c)), line[bpl + x] = uchar(qGreen(c)),
        line[2 * bpl + x] = uchar(qBlue(c));
        continue;
      }
      const int index = bits == 1 && planes == 1 ? (qGray(c) > 127 ? 1 : 0) : ColourIndex(c);
      if (bits == 8) line[x] = uchar(index);
      if (bits == 4) line[x / 2] |= uchar(index << (x % 2 ? 0 : 4));
      if (bits == 1)
        for (int p = 0; p < planes; ++p)
          if (index >> p & 1) line[p * bpl + x / 8] |= uchar(0x80 >> (x % 8));
    }
    Encode(out, line, rle);
  }
  if (bits == 8 && planes == 1) {
    out.append(char(0x0c));
    for (int i = 0; i < 256; ++i) {
      const QRgb c = kColours[i < 4 ? i : 0];
      out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
  }
  return out;
}

QByteArray Gif(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const int w = image.width(), h = image.height();
  QByteArray out("GIF89a", 6);
  const auto put16 = [&](int v) { out.append(char(v & 0xff)).append(char(v >> 8)); };
  put16(w), put16(h);
  out.append(char(0xf7)).append('\0').append('\0');
  for (int i = 0; i < 256; ++i)
    out.append(char((i >> 5) * 255 / 7))
        .append(char(((i >> 2) & 7) * 255 / 7))
        .append(char((i & 3) * 85));
  out.append(',');
  put16(0), put16(0), put16(w), put16(h);
  out.append('\0').append(char(8));
  QByteArray data;
  quint32 bits = 0;
  int count = 0, n = 0;
  const auto code = [&](int c) {
    bits |= quint32(c) << count;
    for (count += 9; count >= 8; count -= 8) data.append(char(bits & 0xff)), bits >>= 8;
  };
  for (int y = 0; y < h; ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < w; ++x, ++n) {
      if (n % 250 == 0) code(256);
      code((qRed(line[x]) >> 5) << 5 | (qGreen(line[x]) >> 5) << 2 | qBlue(line[x]) >> 6);
    }
  }
  code(257);
  if (count > 0) data.append(char(bits & 0xff));
  for (qsizetype at = 0; at < data.size(); at += 255) {
    const QByteArray block = data.mid(at, 255);
    out.append(char(block.size())).append(block);
  }
  return out.append('\0').append(';');
}

QByteArray ExifBlock(int orientation) {
  QByteArray tiff("II*\0\x08\0\0\0", 8);
  tiff.append(QByteArray("\x01\x00", 2));                          // one entry
  tiff.append(QByteArray("\x12\x01\x03\x00\x01\x00\x00\x00", 8));  // Orientation, SHORT, 1
  tiff.append(char(orientation)).append(QByteArray(3, '\0'));
  tiff.append(QByteArray(4, '\0'));  // no next directory
  return tiff;
}

QByteArray WithExifOrientation(const QByteArray& jpeg, int orientation) {
  const QByteArray payload = QByteArray("Exif\0\0", 6) + ExifBlock(orientation);
  QByteArray segment("\xff\xe1", 2);
  const int length = int(payload.size()) + 2;
  segment.append(char(length >> 8)).append(char(length & 0xff)).append(payload);
  return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray PngWithChunk(const QByteArray& png, const char* type, const QByteArray& data) {
  QByteArray chunk;
  for (int shift = 24; shift >= 0; shift -= 8) chunk.append(char(data.size() >> shift));
  chunk.append(type).append(data);
  quint32 crc = 0xffffffff;
  for (qsizetype i = 4; i < chunk.size(); ++i) {
    crc ^= uchar(chunk[i]);
    for (int b = 0; b < 8; ++b) crc = crc & 1 ? 0xedb88320 ^ (crc >> 1) : crc >> 1;
  }
  crc ^= 0xffffffff;
  for (int shift = 24; shift >= 0; shift -= 8) chunk.append(char(crc >> shift));
  constexpr int kAfterHeader = 8 + 25;  // signature, IHDR
  return png.left(kAfterHeader) + chunk + png.mid(kAfterHeader);
}

QByteArray PngWithExif(const QByteArray& png, int orientation) {
  return PngWithChunk(png, "eXIf", ExifBlock(orientation));
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool Near(QColor a, QColor b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace mirvane::test
