// PNG: an 8-byte signature, then chunks of a big-endian length, a type, the data and a
// CRC. The image data is one zlib stream across the IDAT chunks: rows of one filter byte
// and the packed samples.
#include "image/readers/png_decode.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "image/budget.h"
#include "image/error.h"
#include "image/readers/png_rows.h"
#include "image/scale.h"

namespace mirvane::image {
namespace {

using std::uint32_t;
using std::uint8_t;

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
// What deflate can make of one byte at most, and a little for the zlib wrapper: a stream
// that claims more pixels than this allows is cut short, found before allocating them.
constexpr std::uint64_t kMaxInflation = 1032;
// The full-size 32-bit picture's bound, for the samples of any depth.
constexpr std::uint64_t kMaxSampleBytes = static_cast<std::uint64_t>(kMaxPixels) * 4;
// libpng's default limit on what a chunk may inflate to.
constexpr std::size_t kMaxProfile = 8'000'000;

uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
const uint8_t* Bytes(std::string_view s) { return reinterpret_cast<const uint8_t*>(s.data()); }

struct Header {
  int width = 0, height = 0, bit_depth = 0, colour_type = 0;
  bool interlaced = false;
  int channels() const {
    switch (colour_type) {
      case png::kRgb:
        return 3;
      case png::kGreyAlpha:
        return 2;
      case png::kRgba:
        return 4;
      default:
        return 1;
    }
  }
  std::size_t row_bytes(int pixels) const {
    return (static_cast<std::size_t>(pixels) * channels() * bit_depth + 7) / 8;
  }
  std::size_t row_bytes() const { return row_bytes(width); }
};

// Adam7: each pass takes every dx-th pixel from x0 of every dy-th row from y0.
struct Pass {
  int x0, y0, dx, dy;
};
constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// The pixels of a side of `size` that a pass starting at `start` with `step` takes.
int PassSpan(int size, int start, int step) {
  return size > start ? (size - start + step - 1) / step : 0;
}

// The bytes of the inflated image data: each row, of each pass when interlaced (an
// empty pass has no rows, not even their filter bytes), with its filter byte.
std::uint64_t ImageBytes(const Header& h) {
  if (!h.interlaced) return std::uint64_t(h.row_bytes() + 1) * std::uint64_t(h.height);
  std::uint64_t total = 0;
  for (const Pass& p : kAdam7) {
    const int width = PassSpan(h.width, p.x0, p.dx), rows = PassSpan(h.height, p.y0, p.dy);
    if (width > 0) total += std::uint64_t(h.row_bytes(width) + 1) * std::uint64_t(rows);
  }
  return total;
}

Header ParseHeader(std::string_view data) {
  if (data.size() != 13) throw Error("PNG: bad header");
  const uint8_t* p = Bytes(data);
  const uint32_t width = Be32(p), height = Be32(p + 4);
  Header h;
  h.bit_depth = p[8];
  h.colour_type = p[9];
  const int depth = h.bit_depth;
  bool valid = false;
  switch (h.colour_type) {
    case png::kGrey:
      valid = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
      break;
    case png::kPalette:
      valid = depth == 1 || depth == 2 || depth == 4 || depth == 8;
      break;
    case png::kRgb:
    case png::kGreyAlpha:
    case png::kRgba:
      valid = depth == 8 || depth == 16;
      break;
    default:
      break;
  }
  if (!valid || p[10] != 0 || p[11] != 0 || p[12] > 1) throw Error("PNG: unknown kind of picture");
  h.interlaced = p[12] == 1;
  if (!WithinBudget(width, height)) throw Error("picture too large");
  h.width = static_cast<int>(width);
  h.height = static_cast<int>(height);
  return h;
}

// The first `length` bytes `zlib` inflates to, or fewer when it ends or breaks before;
// what follows them is never looked at, as libpng does not.
std::string InflateStart(std::string_view zlib, std::size_t length) {
  std::string out(length, '\0');
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return {};
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zlib.data()));
  z.avail_in = static_cast<uInt>(std::min<std::size_t>(zlib.size(), UINT32_MAX));
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(length);
  int result = Z_OK;
  while (z.avail_out > 0 && result == Z_OK) result = inflate(&z, Z_NO_FLUSH);
  out.resize(length - z.avail_out);
  inflateEnd(&z);
  return out;
}

// The iCCP profile as libpng takes it: one for this kind of pixel, whole, its tags within
// it; empty when libpng would refuse it.
std::string Profile(std::string_view data, int colour_type) {
  const std::size_t name_end = data.find('\0');
  if (name_end == std::string_view::npos || name_end == 0 || name_end > 79 ||
      name_end + 2 > data.size() || data[name_end + 1] != 0)
    return {};
  const std::string_view zlib = data.substr(name_end + 2);
  const std::string head = InflateStart(zlib, 132);
  if (head.size() < 132) return {};
  const auto* h = reinterpret_cast<const uint8_t*>(head.data());
  const uint32_t length = Be32(h);
  if (length < 132 || length > kMaxProfile) return {};
  const std::string_view space(head.data() + 16, 4), pcs(head.data() + 20, 4);
  const std::string_view kind(head.data() + 12, 4), signature(head.data() + 36, 4);
  const bool colour =
      colour_type == png::kRgb || colour_type == png::kPalette || colour_type == png::kRgba;
  if (space != (colour ? "RGB " : "GRAY") || (pcs != "XYZ " && pcs != "Lab ") ||
      signature != "acsp" || kind == "abst" || kind == "link" || Be32(h + 64) >= 0xffff)
    return {};
  std::string profile = InflateStart(zlib, length);
  if (profile.size() != length) return {};
  const auto* p = reinterpret_cast<const uint8_t*>(profile.data());
  const uint32_t tags = Be32(p + 128);
  if (tags > (length - 132) / 12) return {};
  for (uint32_t i = 0; i < tags; ++i) {
    const uint8_t* tag = p + 132 + 12 * i;
    const uint32_t offset = Be32(tag + 4), size = Be32(tag + 8);
    if (offset > length || size > length - offset) return {};
  }
  return profile;
}

bool Critical(std::string_view type) { return (type[0] & 0x20) == 0; }

// What the chunks before the image data hold, and the image data itself.
struct Chunks {
  Header header;
  std::string_view palette;  // RGB triples
  png::Transparency transparency;
  PngColour colour;
  std::string idat;  // the zlib stream, IDATs joined
};

void ReadTransparency(std::string_view data, const Chunks& c, png::Transparency& t) {
  const uint8_t* p = Bytes(data);
  switch (c.header.colour_type) {
    case png::kPalette:
      if (c.palette.empty() || data.empty() || data.size() > c.palette.size() / 3) return;
      t.count = static_cast<int>(data.size());
      std::memcpy(t.alphas.data(), p, data.size());
      return;
    case png::kGrey:
      if (data.size() != 2) return;
      t.has_key = true;
      t.key[0] = static_cast<std::uint16_t>(p[0] << 8 | p[1]);
      return;
    case png::kRgb:
      if (data.size() != 6) return;
      t.has_key = true;
      for (int i = 0; i < 3; ++i)
        t.key[i] = static_cast<std::uint16_t>(p[2 * i] << 8 | p[2 * i + 1]);
      return;
    default:  // a picture with an alpha channel has no use for it
      return;
  }
}

// libpng's view of the colour chunks: an sRGB or iCCP chunk sets the rendering intent, and
// a second one, a profile it refuses or a gamma out of range spoils them all.
class ColourChunks {
 public:
  void Read(std::string_view type, std::string_view data, int colour_type) {
    const uint8_t* p = Bytes(data);
    if (type == "gAMA" && data.size() == 4 && !gamma_seen_) {
      gamma_seen_ = true;
      const uint32_t gamma = Be32(p);
      if (gamma >= 16 && gamma <= 625000000)
        colour_.gamma = gamma;
      else
        spoilt_ = true;
    } else if (type == "sRGB" && data.size() == 1) {
      if (intent_ || p[0] > 3) spoilt_ = true;
      intent_ = colour_.srgb = true;
    } else if (type == "cHRM" && data.size() == 32 && !colour_.chromaticities) {
      double* out[] = {colour_.white, colour_.red, colour_.green, colour_.blue};
      for (int i = 0; i < 8; ++i) out[i / 2][i % 2] = Be32(p + 4 * i) / 100000.0;
      colour_.chromaticities = true;
    } else if (type == "iCCP" && data.size() >= 14 && !spoilt_) {
      colour_.icc = intent_ ? std::string() : Profile(data, colour_type);
      spoilt_ = colour_.icc.empty();
      intent_ = true;
    }
  }
  PngColour Take() { return spoilt_ ? PngColour() : std::move(colour_); }

 private:
  PngColour colour_;
  bool intent_ = false, gamma_seen_ = false, spoilt_ = false;
};

Chunks ReadChunks(std::string_view file) {
  if (file.substr(0, 8) != kSignature) throw Error("not a PNG file");
  Chunks c;
  bool header = false, idat_done = false;
  ColourChunks colour;
  std::vector<std::string_view> idats;
  std::size_t idat_size = 0;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    const uint32_t length = Be32(Bytes(file) + at);
    const std::string_view type = file.substr(at + 4, 4);
    // A chunk cut short ends the file: the image data, if cut, fails to inflate.
    if (length > file.size() - at - 12) break;
    const std::string_view data = file.substr(at + 8, length);
    const uint32_t crc = Be32(Bytes(file) + at + 8 + length);
    at += 12 + std::size_t(length);
    if (!header && type != "IHDR") throw Error("PNG: no header");
    if (!idats.empty() && type != "IDAT") idat_done = true;
    // libpng takes a profile whatever its CRC says.
    if (libdeflate_crc32(0, type.data(), 4 + std::size_t(length)) != crc && type != "iCCP") {
      if (Critical(type)) throw Error("PNG: damaged chunk");
      continue;
    }
    if (!header) {
      c.header = ParseHeader(data);
      header = true;
      continue;
    }
    if (type == "IDAT") {
      // libpng reads the stream from the first run of IDATs only: when it is whole, later
      // ones draw a warning; else the chunk between them is an error.
      if (!idat_done) {
        idats.push_back(data);
        idat_size += data.size();
      }
      continue;
    }
    if (type == "IEND") break;
    if (type == "PLTE") {
      if (!c.palette.empty() || !idats.empty()) continue;
      if (length % 3 != 0 || length == 0 || length > 3 * 256) {
        if (c.header.colour_type == png::kPalette) throw Error("PNG: bad palette");
        continue;
      }
      const std::size_t most = c.header.colour_type == png::kPalette
                                   ? std::size_t(3) << c.header.bit_depth
                                   : std::size_t(3) * 256;
      c.palette = data.substr(0, std::min<std::size_t>(length, most));
    } else if (type == "tRNS") {
      if (!idats.empty() || c.transparency.count || c.transparency.has_key) continue;
      ReadTransparency(data, c, c.transparency);
    } else if (type == "gAMA" || type == "sRGB" || type == "cHRM" || type == "iCCP") {
      if (!c.palette.empty() || !idats.empty()) continue;
      colour.Read(type, data, c.header.colour_type);
    } else if (Critical(type)) {
      throw Error("PNG: unknown critical chunk");
    }
  }
  if (!header) throw Error("PNG: no header");
  if (idats.empty()) throw Error("PNG: no image data");
  if (c.header.colour_type == png::kPalette && c.palette.empty()) throw Error("PNG: no palette");
  c.colour = colour.Take();
  c.idat.reserve(idat_size);
  for (std::string_view part : idats) c.idat.append(part);
  return c;
}

// The rows of a stream that goes on past them, as libpng reads it: what follows the rows
// only draws a warning, damaged or not, unless the data runs out before the stream ends.
void InflateLonger(const std::string& stream, uint8_t* samples, std::size_t expected) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw std::bad_alloc();
  const std::unique_ptr<z_stream, decltype(&inflateEnd)> owner(&z, inflateEnd);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(std::min<std::size_t>(stream.size(), UINT32_MAX));
  const auto run = [&](uint8_t* out, std::size_t length) {
    z.next_out = out;
    z.avail_out = static_cast<uInt>(length);
    return inflate(&z, Z_NO_FLUSH);
  };
  for (std::size_t done = 0; done < expected;) {
    const std::size_t part = std::min<std::size_t>(expected - done, std::size_t{1} << 30);
    const int result = run(samples + done, part);
    done += part - z.avail_out;
    if (result != Z_OK && !(result == Z_STREAM_END && done == expected))
      throw Error("PNG: damaged image data");
  }
  // No more of the rest than the rows themselves: past that it is only time spent.
  std::vector<uint8_t> rest(std::size_t{1} << 16);
  for (std::uint64_t seen = 0; seen <= expected; seen += rest.size() - z.avail_out) {
    const int result = run(rest.data(), rest.size());
    if (result == Z_STREAM_END || result == Z_DATA_ERROR) return;
    if (result != Z_OK) throw Error("PNG: image data cut short");
  }
}

std::unique_ptr<uint8_t[]> Inflate(const std::string& stream, std::uint64_t expected) {
  if (expected > kMaxSampleBytes) throw Error("picture too large");
  if (expected > stream.size() * kMaxInflation + 64) throw Error("PNG: image data cut short");
  // Not cleared first: the stream fills it whole or fails.
  auto samples = std::make_unique_for_overwrite<uint8_t[]>(static_cast<std::size_t>(expected));
  std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
      libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
  if (!inflater) throw std::bad_alloc();
  // Short data is refused, as libpng refuses it; overlong data libpng takes.
  const libdeflate_result result =
      libdeflate_zlib_decompress(inflater.get(), stream.data(), stream.size(), samples.get(),
                                 static_cast<std::size_t>(expected), nullptr);
  if (result == LIBDEFLATE_INSUFFICIENT_SPACE)
    InflateLonger(stream, samples.get(), static_cast<std::size_t>(expected));
  else if (result != LIBDEFLATE_SUCCESS)
    throw Error("PNG: damaged image data");
  return samples;
}

// Unfilters the seven passes of an interlaced picture and puts their pixels in place in
// `argb`, the whole picture.
void ReadPasses(const Header& h, uint8_t* samples, const png::RowConverter& converter,
                uint32_t* argb) {
  const int bpp = std::max(1, h.channels() * h.bit_depth / 8);
  const std::vector<uint8_t> zeros(h.row_bytes());
  std::vector<uint32_t> line(static_cast<std::size_t>(h.width));
  uint8_t* row = samples;
  for (const Pass& p : kAdam7) {
    const int width = PassSpan(h.width, p.x0, p.dx), rows = PassSpan(h.height, p.y0, p.dy);
    if (width == 0) continue;
    const std::size_t row_bytes = h.row_bytes(width), stride = row_bytes + 1;
    for (int r = 0; r < rows; ++r, row += stride) {
      png::Unfilter(row[0], row + 1, r > 0 ? row - stride + 1 : zeros.data(), row_bytes, bpp);
      converter.Convert(row + 1, line.data(), width);
      uint32_t* out = argb + std::size_t(p.y0 + r * p.dy) * std::size_t(h.width) + p.x0;
      for (int x = 0; x < width; ++x) out[std::size_t(x) * p.dx] = line[std::size_t(x)];
    }
  }
}

}  // namespace

PngPicture DecodePng(std::string_view file, Size box, Size shown) {
  Chunks chunks = ReadChunks(file);
  const Header& h = chunks.header;
  const std::size_t row_bytes = h.row_bytes();
  const std::size_t stride = row_bytes + 1;
  const std::unique_ptr<uint8_t[]> samples = Inflate(chunks.idat, ImageBytes(h));
  std::string().swap(chunks.idat);

  PngPicture picture;
  picture.full = {h.width, h.height};
  const Size cover = CoverSize(picture.full, box);
  const bool reduce = cover.width < h.width && cover.height <= h.height;
  picture.size = reduce ? cover : picture.full;
  const png::RowConverter converter(h.colour_type, h.bit_depth, Bytes(chunks.palette),
                                    static_cast<int>(chunks.palette.size() / 3),
                                    chunks.transparency);
  picture.has_alpha = converter.has_alpha();
  const int bpp = std::max(1, h.channels() * h.bit_depth / 8);
  const std::size_t pixels = static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.height);

  std::unique_ptr<AreaReducer> reducer, fitter;
  std::vector<uint32_t> line;
  if (reduce) {
    reducer = std::make_unique<AreaReducer>(picture.full, cover);
    line.resize(static_cast<std::size_t>(h.width));
    const Size fitted = shown.width > 0 ? FittedSize(picture.full, shown) : Size{};
    if (fitted.width > 0 && fitted.width <= cover.width && fitted.height <= cover.height &&
        !(fitted == cover)) {
      fitter = std::make_unique<AreaReducer>(picture.full, fitted);
      picture.fitted_size = fitted;
    }
  }
  if (h.interlaced) {
    // The passes fill the picture all over, so it is whole before it can be reduced.
    std::vector<uint32_t> whole(pixels);
    ReadPasses(h, samples.get(), converter, whole.data());
    if (!reduce) {
      picture.argb = std::move(whole);
    } else {
      for (std::size_t at = 0; at < pixels; at += static_cast<std::size_t>(h.width)) {
        reducer->AddRow(whole.data() + at);
        if (fitter) fitter->AddRow(whole.data() + at);
      }
    }
  } else {
    if (!reduce) picture.argb.resize(pixels);
    const std::vector<uint8_t> zeros(row_bytes);
    for (int y = 0; y < h.height;) {
      uint8_t* row = samples.get() + static_cast<std::size_t>(y) * stride;
      const uint8_t* prior = y > 0 ? row - stride + 1 : zeros.data();
      // Two Paeth rows one after the other, as most of a photograph's are, go together.
      const int rows = y + 1 < h.height && row[0] == 4 && row[stride] == 4 ? 2 : 1;
      if (rows == 2)
        png::UnfilterPaethPair(row + 1, row + stride + 1, prior, row_bytes, bpp);
      else
        png::Unfilter(row[0], row + 1, prior, row_bytes, bpp);
      for (int i = 0; i < rows; ++i, ++y) {
        uint32_t* out =
            reduce ? line.data() : picture.argb.data() + static_cast<std::size_t>(y) * h.width;
        converter.Convert(row + std::size_t(i) * stride + 1, out, h.width);
        if (reducer) reducer->AddRow(out);
        if (fitter) fitter->AddRow(out);
      }
    }
  }
  if (reducer) picture.argb = reducer->Take();
  if (fitter) picture.fitted = fitter->Take();
  picture.colour = std::move(chunks.colour);
  return picture;
}

}  // namespace mirvane::image
