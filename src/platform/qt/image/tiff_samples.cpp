#include "platform/qt/image/tiff_samples.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/error.h"
#include "platform/qt/image/colour.h"

namespace mirvane::platform::qt::image {
namespace {

constexpr tmsize_t kMaxChunk = tmsize_t{256} * 1024 * 1024;

struct Layout {
  uint16_t bits = 1, spp = 1, format = SAMPLEFORMAT_UINT, photometric = PHOTOMETRIC_MINISBLACK,
           planar = PLANARCONFIG_CONTIG;
};

template <typename T>
T Load(const uchar* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

uchar FromUnit(double v) {
  if (!(v > 0)) return 0;  // NaN too
  return v >= 1 ? 255 : static_cast<uchar>(std::lround(v * 255));
}

double Half(uint16_t h) {
  const int exponent = (h >> 10) & 0x1f, mantissa = h & 0x3ff;
  double v = exponent == 0    ? std::ldexp(mantissa, -24)
             : exponent == 31 ? INFINITY
                              : std::ldexp(mantissa + 1024, exponent - 25);
  return h & 0x8000 ? -v : v;
}

double Float24(uint32_t f) {  // 1 sign, 7 exponent (bias 63), 16 mantissa bits
  const int exponent = (f >> 16) & 0x7f, mantissa = f & 0xffff;
  double v =
      exponent == 0 ? std::ldexp(mantissa, -78) : std::ldexp(mantissa + 65536, exponent - 79);
  return f & 0x800000 ? -v : v;
}

// Sample `i` of a row, as 8 bits. Whole-byte samples are in host order (libtiff swaps
// them); other depths are a bit stream, most significant bit first.
uchar Sample(const uchar* row, size_t i, const Layout& l) {
  const bool real = l.format == SAMPLEFORMAT_IEEEFP;
  switch (l.bits) {
    case 8:
      return row[i];
    case 16: {
      const auto v = Load<uint16_t>(row + 2 * i);
      return real ? FromUnit(Half(v)) : uchar(v >> 8);
    }
    case 24: {
      const uint32_t v = row[3 * i] | row[3 * i + 1] << 8 | uint32_t(row[3 * i + 2]) << 16;
      return real ? FromUnit(Float24(v)) : uchar(v >> 16);
    }
    case 32:
      return real ? FromUnit(Load<float>(row + 4 * i)) : uchar(Load<uint32_t>(row + 4 * i) >> 24);
    case 64:
      return FromUnit(Load<double>(row + 8 * i));
    default:
      break;
  }
  const size_t first = i * l.bits;
  uint32_t v = 0;
  for (size_t b = first; b < first + l.bits; ++b) v = v << 1 | ((row[b / 8] >> (7 - b % 8)) & 1);
  if (l.bits > 8) return uchar(v >> (l.bits - 8));
  return uchar(v * 255 / ((1u << l.bits) - 1));
}

Layout ReadLayout(TIFF* tif) {
  Layout l;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric);
  const bool integer = (l.format == SAMPLEFORMAT_UINT || l.format == SAMPLEFORMAT_INT) &&
                       l.bits >= 1 && l.bits <= 32;
  const bool real = l.format == SAMPLEFORMAT_IEEEFP &&
                    (l.bits == 16 || l.bits == 24 || l.bits == 32 || l.bits == 64);
  if (!integer && !real) throw Error("TIFF: unsupported sample format");
  const int needed = l.photometric == PHOTOMETRIC_RGB         ? 3
                     : l.photometric == PHOTOMETRIC_SEPARATED ? 3
                                                              : 1;
  const bool known = l.photometric == PHOTOMETRIC_MINISBLACK ||
                     l.photometric == PHOTOMETRIC_MINISWHITE || l.photometric == PHOTOMETRIC_RGB ||
                     l.photometric == PHOTOMETRIC_SEPARATED;
  if (!known || l.spp < needed || l.spp > 64) throw Error("TIFF: unsupported colour layout");
  if (l.planar != PLANARCONFIG_CONTIG && l.planar != PLANARCONFIG_SEPARATE)
    throw Error("TIFF: bad planar layout");
  return l;
}

// Turns the gathered channels (in the R, G, B, A bytes) into displayable RGBA.
void ToRgba(QImage& image, const Layout& l, const QByteArray& icc) {
  if (l.photometric == PHOTOMETRIC_SEPARATED) {
    image = CmykToSrgb(image.constBits(), image.width(), image.height(), image.bytesPerLine(), icc,
                       false);
    if (image.isNull()) throw Error("out of memory");
    return;
  }
  for (int y = 0; y < image.height(); ++y) {
    uchar* p = image.scanLine(y);
    for (int x = 0; x < image.width(); ++x, p += 4) {
      if (l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE) {
        const uchar g = l.photometric == PHOTOMETRIC_MINISWHITE ? uchar(255 - p[0]) : p[0];
        p[0] = p[1] = p[2] = g;
      }
      p[3] = 255;
    }
  }
}

}  // namespace

QImage ReadTiffSamples(TIFF* tif, uint32_t w, uint32_t h, const QByteArray& icc) {
  const Layout l = ReadLayout(tif);
  const bool separate = l.planar == PLANARCONFIG_SEPARATE && l.spp > 1;
  const int planes = separate ? l.spp : 1;
  const int per_chunk = separate ? 1 : l.spp;
  const bool tiled = TIFFIsTiled(tif);
  uint32_t cw = w, ch = h;
  if (tiled) {
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &cw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &ch);
  } else {
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &ch);
    ch = std::min(ch, h);
  }
  if (cw == 0 || ch == 0) throw Error("TIFF: bad strip or tile size");
  const tmsize_t chunk = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
  const tmsize_t row_bytes = tiled ? TIFFTileRowSize(tif) : TIFFScanlineSize(tif);
  if (chunk <= 0 || chunk > kMaxChunk || row_bytes <= 0)
    throw Error("TIFF: bad strip or tile size");
  if (uint64_t(row_bytes) * 8 < uint64_t(cw) * per_chunk * l.bits)
    throw Error("TIFF: bad row size");

  QImage image(int(w), int(h), QImage::Format_RGBA8888);
  if (image.isNull()) throw Error("out of memory");
  image.fill(0);
  std::vector<uchar> buffer(size_t(chunk), 0);
  for (int plane = 0; plane < planes; ++plane) {
    for (uint32_t y0 = 0; y0 < h; y0 += ch) {
      for (uint32_t x0 = 0; x0 < w; x0 += cw) {
        const tmsize_t got =
            tiled ? TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x0, y0, 0, uint16_t(plane)),
                                        buffer.data(), chunk)
                  : TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, y0, uint16_t(plane)),
                                         buffer.data(), chunk);
        if (got < 0) throw Error("TIFF: damaged picture data");
        const uint32_t rows = std::min<uint32_t>(ch, h - y0), cols = std::min<uint32_t>(cw, w - x0);
        for (uint32_t r = 0; r < rows && tmsize_t(r + 1) * row_bytes <= got; ++r) {
          const uchar* row = buffer.data() + r * row_bytes;
          uchar* out = image.scanLine(int(y0 + r)) + size_t(x0) * 4;
          for (uint32_t c = 0; c < cols; ++c, out += 4) {
            for (int s = 0; s < per_chunk; ++s) {
              const int channel = separate ? plane : s;
              if (channel < 4) out[channel] = Sample(row, size_t(c) * per_chunk + s, l);
            }
          }
        }
      }
    }
  }
  ToRgba(image, l, icc);
  return image;
}

}  // namespace mirvane::platform::qt::image
