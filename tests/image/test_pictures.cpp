#include "test_pictures.h"

#include <zlib.h>
#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QTransform>
#include <QtEndian>

#include <QPainter>
#include <algorithm>
#include <cmath>
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

namespace mirvane::test {
namespace {

void Be32(QByteArray& b, quint32 v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.append(char(v >> shift));
}

void Chunk(QByteArray& out, const char* type, const QByteArray& data) {
  Be32(out, quint32(data.size()));
  const QByteArray body = QByteArray(type, 4) + data;
  out += body;
  Be32(out, quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
}

// The header and the joined image data of a PNG.
std::pair<QByteArray, QByteArray> PngParts(const QImage& image) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32)
      .save(&buffer, "png");
  QByteArray ihdr, idat;
  for (int at = 8; at + 12 <= png.size();) {
    const int length = int(qFromBigEndian<quint32>(png.constData() + at));
    const QByteArray type = png.mid(at + 4, 4), data = png.mid(at + 8, length);
    if (type == "IHDR") ihdr = data;
    if (type == "IDAT") idat += data;
    at += 12 + length;
  }
  return {ihdr, idat};
}

void Le16(QByteArray& b, quint16 v) { b.append(char(v & 0xff)).append(char(v >> 8)); }
void Le32(QByteArray& b, quint32 v) { Le16(b, quint16(v & 0xffff)), Le16(b, quint16(v >> 16)); }

// A little-endian TIFF built from the end: data blobs first, then the directories.
class Tiff {
 public:
  struct Entry {
    quint16 tag, type;
    quint32 count;
    QByteArray value;  // count items of the type, little-endian
  };
  Tiff() : out_("II*\0\0\0\0\0", 8) {}
  quint32 Blob(const QByteArray& data) {
    const quint32 at = quint32(out_.size());
    out_ += data;
    if (out_.size() % 2) out_.append('\0');
    return at;
  }
  quint32 Directory(std::vector<Entry> entries) {
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.tag < b.tag; });
    for (Entry& e : entries)
      if (e.value.size() > 4) {
        const quint32 at = Blob(e.value);
        e.value.clear();
        Le32(e.value, at);
      }
    const quint32 at = quint32(out_.size());
    Le16(out_, quint16(entries.size()));
    for (const Entry& e : entries) {
      Le16(out_, e.tag), Le16(out_, e.type), Le32(out_, e.count);
      out_ += e.value.leftJustified(4, '\0');
    }
    Le32(out_, 0);
    return at;
  }
  QByteArray Finish(quint32 first) {
    QByteArray header;
    Le32(header, first);
    out_.replace(4, 4, header);
    return out_;
  }

 private:
  QByteArray out_;
};

Tiff::Entry Short(quint16 tag, std::vector<quint16> v) {
  QByteArray b;
  for (quint16 x : v) Le16(b, x);
  return {tag, 3, quint32(v.size()), b};
}
Tiff::Entry Long(quint16 tag, std::vector<quint32> v) {
  QByteArray b;
  for (quint32 x : v) Le32(b, x);
  return {tag, 4, quint32(v.size()), b};
}
Tiff::Entry Bytes(quint16 tag, quint16 type, QByteArray v) {
  return {tag, type, quint32(v.size()), v};
}
Tiff::Entry SRationals(quint16 tag, std::vector<double> v) {
  QByteArray b;
  for (double x : v) Le32(b, quint32(qint32(std::lround(x * 10000)))), Le32(b, 10000);
  return {tag, 10, quint32(v.size()), b};
}

}  // namespace

QByteArray Png(const PngLayout& layout, const QByteArray& samples) {
  const int channels = layout.colour_type == 2   ? 3
                       : layout.colour_type == 4 ? 2
                       : layout.colour_type == 6 ? 4
                                                 : 1;
  const int row_bytes = (layout.width * channels * layout.bit_depth + 7) / 8;
  const int bpp = std::max(1, channels * layout.bit_depth / 8);
  QByteArray filtered;
  const QByteArray zeros(row_bytes, '\0');
  for (int y = 0; y < layout.height; ++y) {
    const auto* raw = reinterpret_cast<const uchar*>(samples.constData()) + y * row_bytes;
    const auto* prior = y ? raw - row_bytes : reinterpret_cast<const uchar*>(zeros.constData());
    const int filter = layout.filter >= 0 ? layout.filter : y % 5;
    filtered.append(char(filter));
    for (int i = 0; i < row_bytes; ++i) {
      const int a = i >= bpp ? raw[i - bpp] : 0, b = prior[i], c = i >= bpp ? prior[i - bpp] : 0;
      const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
      const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      const int predicted[] = {0, a, b, (a + b) / 2, paeth};
      filtered.append(char(raw[i] - (filter < 5 ? predicted[filter] : 0)));
    }
  }
  QByteArray idat(int(compressBound(uLong(filtered.size()))), '\0');
  uLongf size = uLongf(idat.size());
  compress(reinterpret_cast<Bytef*>(idat.data()), &size,
           reinterpret_cast<const Bytef*>(filtered.constData()), uLong(filtered.size()));
  idat.resize(qsizetype(size));

  QByteArray out("\x89PNG\r\n\x1a\n", 8), ihdr;
  Be32(ihdr, quint32(layout.width));
  Be32(ihdr, quint32(layout.height));
  ihdr.append(char(layout.bit_depth)).append(char(layout.colour_type)).append(QByteArray(3, '\0'));
  Chunk(out, "IHDR", ihdr);
  for (const auto& [type, data] : layout.chunks) Chunk(out, type.constData(), data);
  // In pieces, as writers split it.
  for (qsizetype at = 0; at < idat.size(); at += 1000) Chunk(out, "IDAT", idat.mid(at, 1000));
  Chunk(out, "IEND", {});
  return out;
}

QByteArray Apng(const std::vector<QImage>& frames, int delay_ms, int plays) {
  QByteArray out("\x89PNG\r\n\x1a\n", 8);
  const auto [ihdr, first] = PngParts(frames.front());
  Chunk(out, "IHDR", ihdr);
  QByteArray actl;
  Be32(actl, quint32(frames.size()));
  Be32(actl, quint32(plays));
  Chunk(out, "acTL", actl);
  quint32 sequence = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    QByteArray fctl;
    Be32(fctl, sequence++);
    fctl += ihdr.left(8);          // the whole canvas
    Be32(fctl, 0), Be32(fctl, 0);  // at 0, 0
    fctl.append(char(delay_ms >> 8)).append(char(delay_ms & 0xff)).append('\x03').append('\xe8');
    fctl.append('\0').append('\0');  // no disposal, drawn in place
    Chunk(out, "fcTL", fctl);
    const QByteArray data = PngParts(frames[i]).second;
    if (i == 0) {
      Chunk(out, "IDAT", data);
    } else {
      QByteArray fdat;
      Be32(fdat, sequence++);
      Chunk(out, "fdAT", fdat + data);
    }
  }
  Chunk(out, "IEND", {});
  return out;
}

QByteArray Dng(const QImage& image, bool preview, int orientation) {
  // Stored as the sensor saw it: sideways when the camera was held so.
  QTransform turn;
  turn.rotate(orientation == 6 ? -90 : orientation == 8 ? 90 : orientation == 3 ? 180 : 0);
  const QImage stored = image.transformed(turn);
  const int w = stored.width() & ~1, h = stored.height() & ~1;
  QByteArray samples;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const QRgb c = stored.pixel(x, y);
      const int site = (y % 2) * 2 + x % 2;  // R G / G B
      const int v = site == 0 ? qRed(c) : site == 3 ? qBlue(c) : qGreen(c);
      Le16(samples, quint16(v * 257));
    }
  }
  Tiff tiff;
  const quint32 strip = tiff.Blob(samples);
  std::vector<Tiff::Entry> raw = {Long(254, {0}),
                                  Long(256, {quint32(w)}),
                                  Long(257, {quint32(h)}),
                                  Short(258, {16}),
                                  Short(259, {1}),
                                  Short(262, {32803}),
                                  Long(273, {strip}),
                                  Short(277, {1}),
                                  Long(278, {quint32(h)}),
                                  Long(279, {quint32(samples.size())}),
                                  Short(284, {1}),
                                  Short(33421, {2, 2}),
                                  Bytes(33422, 1, QByteArray("\0\1\1\2", 4))};
  std::vector<Tiff::Entry> first = {
      Bytes(271, 2, QByteArray("Mirvane\0", 8)), Bytes(272, 2, QByteArray("Test\0", 5)),
      Short(274, {quint16(orientation)}), Bytes(50706, 1, QByteArray("\1\4\0\0", 4)),
      Bytes(50708, 2, QByteArray("Mirvane Test\0", 13)),
      // XYZ to camera: the camera sees linear sRGB.
      SRationals(50721,
                 {3.2406, -1.5372, -0.4986, -0.9689, 1.8758, 0.0415, 0.0557, -0.2040, 1.0570}),
      Short(50778, {21}), SRationals(50728, {1, 1, 1})};
  if (!preview) {
    first.insert(first.end(), raw.begin(), raw.end());
    return tiff.Finish(tiff.Directory(first));
  }
  const quint32 sub = tiff.Directory(raw);
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  stored.save(&buffer, "jpeg", 95);
  const quint32 at = tiff.Blob(jpeg);
  const std::vector<Tiff::Entry> thumb = {Long(254, {1}),
                                          Long(256, {quint32(stored.width())}),
                                          Long(257, {quint32(stored.height())}),
                                          Short(258, {8, 8, 8}),
                                          Short(259, {7}),
                                          Short(262, {6}),
                                          Long(273, {at}),
                                          Short(277, {3}),
                                          Long(278, {quint32(stored.height())}),
                                          Long(279, {quint32(jpeg.size())}),
                                          Long(330, {sub})};
  first.insert(first.end(), thumb.begin(), thumb.end());
  return tiff.Finish(tiff.Directory(first));
}

bool Run(const QString& program, const QStringList& args, int timeout_ms) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, args);
  return process.waitForFinished(timeout_ms) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

}  // namespace mirvane::test
