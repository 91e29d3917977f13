#include "image/readers/tiff_samples.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "image/colour.h"
#include "image/error.h"

namespace mirvane::image {
namespace {

constexpr tmsize_t kMaxChunk = tmsize_t{256} * 1024 * 1024;

struct Layout {
  uint16_t bits = 1, spp = 1, format = SAMPLEFORMAT_UINT, photometric = PHOTOMETRIC_MINISBLACK,
           planar = PLANARCONFIG_CONTIG;
  int alpha = -1;           // the sample holding alpha, if any
  bool associated = false;  // colours premultiplied by that alpha
};

template <typename T>
T Load(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

std::uint8_t FromUnit(double v) {
  if (!(v > 0)) return 0;  // NaN too
  return v >= 1 ? 255 : static_cast<std::uint8_t>(std::lround(v * 255));
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

// Sample `i` of a row, as 8 bits; signed integers offset so that their most negative value
// is black. Whole-byte samples are in host order (libtiff swaps them); other depths are a
// bit stream, most significant bit first.
std::uint8_t Sample(const std::uint8_t* row, size_t i, const Layout& l) {
  if (l.format == SAMPLEFORMAT_IEEEFP) {
    switch (l.bits) {
      case 16:
        return FromUnit(Half(Load<uint16_t>(row + 2 * i)));
      case 24:
        return FromUnit(Float24(row[3 * i] | row[3 * i + 1] << 8 | uint32_t(row[3 * i + 2]) << 16));
      case 32:
        return FromUnit(Load<float>(row + 4 * i));
      default:
        return FromUnit(Load<double>(row + 8 * i));
    }
  }
  const std::uint8_t sign = l.format == SAMPLEFORMAT_INT ? 0x80 : 0;
  switch (l.bits) {
    case 8:
      return row[i] ^ sign;
    case 16:
      return std::uint8_t(Load<uint16_t>(row + 2 * i) >> 8) ^ sign;
    case 24:
      return row[3 * i + 2] ^ sign;
    case 32:
      return std::uint8_t(Load<uint32_t>(row + 4 * i) >> 24) ^ sign;
    case 64:
      return std::uint8_t(Load<uint64_t>(row + 8 * i) >> 56) ^ sign;
    default:
      break;
  }
  const size_t first = i * l.bits;
  uint32_t v = 0;
  for (size_t b = first; b < first + l.bits; ++b) v = v << 1 | ((row[b / 8] >> (7 - b % 8)) & 1);
  if (l.bits > 8) return std::uint8_t(v >> (l.bits - 8)) ^ sign;
  if (sign) v ^= 1u << (l.bits - 1);
  return std::uint8_t(v * 255 / ((1u << l.bits) - 1));
}

Layout ReadLayout(TIFF* tif) {
  Layout l;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric);
  const bool integer = (l.format == SAMPLEFORMAT_UINT || l.format == SAMPLEFORMAT_INT) &&
                       ((l.bits >= 1 && l.bits <= 32) || l.bits == 64);
  const bool real = l.format == SAMPLEFORMAT_IEEEFP &&
                    (l.bits == 16 || l.bits == 24 || l.bits == 32 || l.bits == 64);
  if (!integer && !real) throw Error("TIFF: unsupported sample format");
  const bool separated = l.photometric == PHOTOMETRIC_SEPARATED;
  const bool grey =
      l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE;
  const int needed = grey ? 1 : 3;
  if ((!grey && !separated && l.photometric != PHOTOMETRIC_RGB) || l.spp < needed || l.spp > 64)
    throw Error("TIFF: unsupported colour layout");
  if (l.planar != PLANARCONFIG_CONTIG && l.planar != PLANARCONFIG_SEPARATE)
    throw Error("TIFF: bad planar layout");

  // Alpha is the first extra sample when marked so; an unmarked one only after RGB, as
  // libtiff's RGBA interface takes it, for the writers that leave it so. Others are data.
  uint16_t extras = 0;
  const uint16_t* info = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extras, &info);
  const int colours = l.spp - extras;
  if (info && extras >= 1 && colours >= needed) {
    const bool unspecified = info[0] == EXTRASAMPLE_UNSPECIFIED && colours == 3 && !separated;
    if (info[0] == EXTRASAMPLE_ASSOCALPHA || info[0] == EXTRASAMPLE_UNASSALPHA || unspecified) {
      l.alpha = colours;
      l.associated = info[0] != EXTRASAMPLE_UNASSALPHA;
    }
  }
  return l;
}

// Where sample `channel` goes: one of the four gathered colour bytes of a pixel, kAlpha
// for the alpha plane, -1 for none.
constexpr int kAlpha = 4;
int Slot(int channel, const Layout& l) {
  if (channel == l.alpha) return kAlpha;
  if (l.alpha >= 0 && channel > l.alpha) return -1;
  return channel < 4 ? channel : -1;
}

std::uint8_t Straight(unsigned c, unsigned a) {
  return a == 0 ? 0 : std::uint8_t(std::min(255u, (c * 255 + a / 2) / a));
}

// Turns the gathered samples (four colour bytes a pixel, in the order read, and `alpha`
// when there is one) into 0xAARRGGBB.
Pixels ToArgb(Pixels pixels, const std::vector<std::uint8_t>& alpha, const Layout& l,
              std::string_view icc) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(pixels.argb.data());
  const std::size_t count = pixels.argb.size();
  if (l.associated) {
    for (std::size_t i = 0; i < count; ++i) {
      if (alpha[i] == 255) continue;
      for (int c = 0; c < 4; ++c) bytes[i * 4 + c] = Straight(bytes[i * 4 + c], alpha[i]);
    }
  }
  if (l.photometric == PHOTOMETRIC_SEPARATED) {
    pixels =
        CmykToSrgb(bytes, pixels.width, pixels.height, std::size_t(pixels.width) * 4, icc, false);
  } else {
    const bool grey = l.photometric != PHOTOMETRIC_RGB;
    const bool inverted = l.photometric == PHOTOMETRIC_MINISWHITE;
    for (std::uint32_t& word : pixels.argb) {
      const auto* p = reinterpret_cast<const std::uint8_t*>(&word);
      unsigned r = p[0], g = grey ? p[0] : p[1], b = grey ? p[0] : p[2];
      if (inverted) r = g = b = 255 - r;
      word = 0xff000000u | r << 16 | g << 8 | b;
    }
  }
  if (!alpha.empty()) {
    pixels.has_alpha = true;
    for (std::size_t i = 0; i < count; ++i)
      pixels.argb[i] = (pixels.argb[i] & 0xffffffu) | std::uint32_t(alpha[i]) << 24;
  }
  return pixels;
}

}  // namespace

Pixels ReadTiffSamples(TIFF* tif, std::uint32_t w, std::uint32_t h, std::string_view icc) {
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

  Pixels pixels;
  pixels.width = int(w);
  pixels.height = int(h);
  pixels.argb.assign(std::size_t(w) * h, 0);
  auto* out_bytes = reinterpret_cast<std::uint8_t*>(pixels.argb.data());
  std::vector<std::uint8_t> alpha(l.alpha >= 0 ? pixels.argb.size() : 0, 0);
  std::vector<std::uint8_t> buffer(size_t(chunk), 0);
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
          const std::uint8_t* row = buffer.data() + r * row_bytes;
          const std::size_t first = std::size_t(y0 + r) * w + x0;
          for (uint32_t c = 0; c < cols; ++c) {
            for (int s = 0; s < per_chunk; ++s) {
              const int slot = Slot(separate ? plane : s, l);
              if (slot < 0) continue;
              const std::uint8_t v = Sample(row, size_t(c) * per_chunk + s, l);
              if (slot == kAlpha) {
                alpha[first + c] = v;
              } else {
                out_bytes[(first + c) * 4 + slot] = v;
              }
            }
          }
        }
      }
    }
  }
  return ToArgb(std::move(pixels), alpha, l, icc);
}

}  // namespace mirvane::image
