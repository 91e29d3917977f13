#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/error.h"
#include "image/readers/bmp.h"
#include "image/readers/tga.h"
#include "reader_test_support.h"

namespace mirvane::image {
namespace {

namespace fs = std::filesystem;
using testing::Psnr;
using testing::ReadBytes;
using testing::Reference;
using testing::TempDir;
using testing::WriteBytes;
using Argb = std::vector<std::uint32_t>;
using namespace std::string_literals;

const fs::path kCorpus = MIRVANE_CORPUS_DIR;
constexpr std::uint32_t R = 0xffff0000, G = 0xff00ff00, B = 0xff0000ff, K = 0xff000000, T = 0;

std::string Le(std::uint64_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += char(v >> (8 * i));
  return s;
}

std::vector<fs::path> Files(const std::string& folder, const std::string& ext) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& e : fs::directory_iterator(kCorpus / folder, error))
    if (e.path().extension() == ext) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

bool Has(const fs::path& file, const std::string& part) {
  return file.filename().string().find(part) != std::string::npos;
}

Pixels Straight(const Picture& p) {
  Pixels out = p.pixels;
  if (!p.premultiplied) return out;
  for (auto& v : out.argb) {
    const std::uint32_t a = v >> 24;
    const auto s = [a](std::uint32_t c) { return a ? std::min(255u, (c * 255 + a / 2) / a) : 0; };
    v = a << 24 | s(v >> 16 & 255) << 16 | s(v >> 8 & 255) << 8 | s(v & 255);
  }
  return out;
}

// A bitmap as its fields say; masks go inside a header of 52 bytes or more, else after it.
struct Bmp {
  Bmp(int header, int width, int height, int bits, std::uint32_t compression = 0,
      std::uint32_t colours = 0, Argb masks = {}, Argb palette = {}, std::string data = {},
      std::string icc = {})
      : header(header),
        width(width),
        height(height),
        bits(bits),
        compression(compression),
        colours(colours),
        masks(masks),
        palette(palette),
        data(data),
        icc(icc) {}
  int header, width, height, bits;
  std::uint32_t compression, colours;
  Argb masks, palette;
  std::string data, icc;

  std::string Build() const {
    std::string info = Le(header, 4) + Le(std::uint32_t(width), 4) + Le(std::uint32_t(height), 4) +
                       Le(1, 2) + Le(bits, 2) + Le(compression, 4) + Le(data.size(), 4) +
                       std::string(8, '\0') + Le(colours, 4) + Le(0, 4);
    std::string after;
    for (std::uint32_t m : masks) (header >= 52 ? info : after) += Le(m, 4);
    info.resize(std::size_t(header), '\0');
    for (std::uint32_t c : palette) after += Le(c & 0xffffff, 4);
    const std::size_t offset = 14 + info.size() + after.size();
    if (!icc.empty()) {
      info.replace(56, 4, "DEBM");  // 'MBED' read little-endian
      info.replace(112, 8, Le(info.size() + after.size() + data.size(), 4) + Le(icc.size(), 4));
    }
    const std::string body = info + after + data + icc;
    return "BM" + Le(14 + body.size(), 4) + Le(0, 4) + Le(offset, 4) + body;
  }
};

struct BmpCase {
  const char* name;
  Bmp bmp;
  Argb expected;  // bmp.width x |bmp.height|, top row first
};

TEST(Bmp, HandMadeVariants) {
  const Argb pal = {R, G, B}, argb8 = {0xff0000, 0xff00, 0xff, 0xff000000};
  // clang-format off
  const BmpCase cases[] = {
    // run, delta over one pixel and a row, end of line, absolute run, end of bitmap
    {"rle8 delta", {40, 4, 3, 8, 1, 0, {}, pal, "\2\0\0\2\1\1\1\1\0\0\0\3\1\0\1\0\0\1"s},
     {G, R, G, T, T, T, T, G, R, R, T, T}},
    {"rle8 absolute padded, run clipped at the edge",
     {40, 3, 2, 8, 1, 0, {}, pal, "\0\3\0\1\0\0\0\0\7\2\0\1"s}, {B, B, B, R, G, R}},
    {"rle4 alternating run, early end", {40, 5, 2, 4, 2, 0, {}, pal, "\5\x12\0\0\0\3\x20\x10\0\1"s},
     {B, R, G, T, T, G, B, G, B, G}},
    {"16-bit 5-6-5", {40, 3, 1, 16, 3, 0, {0xf800, 0x07e0, 0x001f}, {},
     Le(0xf800, 2) + Le(0x0410, 2) + Le(0x0801, 4)}, {R, 0xff008284, 0xff080008}},
    {"16-bit 4-4-4-4 in a V3 header", {56, 3, 1, 16, 3, 0, {0x0f00, 0x00f0, 0x000f, 0xf000}, {},
     Le(0x8f00, 2) + Le(0, 2) + Le(0xf05a, 4)}, {0x88ff0000, T, 0xff0055aa}},
    {"32-bit 10-bit fields", {40, 1, 1, 32, 3, 0, {0x3ff00000, 0xffc00, 0x3ff}, {},
     Le(0x3ff80001, 4)}, {0xffff8000}},
    {"alpha bit fields", {40, 1, 1, 32, 6, 0, argb8, {}, Le(0x80102030, 4)}, {0x80102030}},
    {"short palette: black beyond it", {40, 4, 1, 8, 0, 2, {}, {R, G}, "\0\1\2\xff"s},
     {R, G, K, K}},
    {"32-bit BI_RGB: fourth byte ignored", {40, 2, 1, 32, 0, 0, {}, {},
     Le(0x00302010, 4) + Le(0x80302010, 4)}, {0xff302010, 0xff302010}},
    {"V5 32-bit alpha all zero: opaque", {124, 2, 1, 32, 3, 0, argb8, {},
     Le(0x302010, 4) + Le(0x405060, 4)}, {0xff302010, 0xff405060}},
    {"V5 32-bit alpha kept", {124, 2, 1, 32, 3, 0, argb8, {}, Le(0x302010, 4) + Le(0x80405060, 4)},
     {0x00302010, 0x80405060}},
    {"1-bit top-down", {40, 3, -2, 1, 0, 0, {}, {K, 0xffffff}, "\xa0\0\0\0\x40\0\0\0"s},
     {0xffffffff, K, 0xffffffff, K, 0xffffffff, K}},
    {"cut short: rows not there are clear", {40, 2, 3, 24, 0, 0, {}, {}, "\0\0\xff\0\xff\0\0\0\xff"s},
     {T, T, T, T, R, G}},
    {"OS/2 core header, 3-byte palette", {12, 2, 1, 4, 0, 0, {}, {}, "\0\0\xff\0\xff\0\x01\0\0\0"s},
     {R, G}},
  };
  // clang-format on
  for (const BmpCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file = c.bmp.Build();
    if (c.bmp.header == 12) {  // the core header: 16-bit sides, palette of 3-byte entries
      file = "BM" + Le(0, 8) + Le(26 + 6, 4) + Le(12, 4) + Le(c.bmp.width, 2) +
             Le(c.bmp.height, 2) + Le(1, 2) + Le(4, 2) + c.bmp.data;
    }
    const Picture p = ReadBmp(file);
    EXPECT_EQ(p.pixels.width, c.bmp.width);
    EXPECT_EQ(p.pixels.height, std::abs(c.bmp.height));
    EXPECT_EQ(p.pixels.argb, c.expected);
    EXPECT_EQ(p.pixels.has_alpha, std::any_of(c.expected.begin(), c.expected.end(),
                                              [](std::uint32_t v) { return v >> 24 != 255; }));
  }
  // A V5 header's own profile.
  const Bmp profiled{124, 1, 1, 24, 0, 0, {}, {}, std::string(4, '\x7f'), "a profile's bytes"};
  EXPECT_EQ(ReadBmp(profiled.Build()).icc, "a profile's bytes");
}

TEST(Bmp, DamagedRefusedOrBounded) {
  const Bmp refused[] = {
      {40, 100000, 100000, 24, 0, 0, {}, {}, "x"},  // over budget: refused before allocating
      {40, 0, 4, 24, 0, 0, {}, {}, "xxxx"},
      {40, 4, 4, 3, 0, 0, {}, {}, "xxxx"},
      {40, 4, 4, 4, 1, 0, {}, {}, "xxxx"},                         // RLE8 needs 8 bits
      {40, 4, 1, 32, 3, 0, {0xff00ff, 0xff00, 0xff}, {}, "xxxx"},  // a field with a gap
      {40, 4, 4, 24, 0, 0, {}, {}, ""},                            // no pixels at all
  };
  for (const Bmp& b : refused) EXPECT_THROW(ReadBmp(b.Build()), Error) << b.width << " " << b.bits;
  EXPECT_THROW(ReadBmp(Bmp{40, 2, 2, 24}.Build().substr(0, 30)), Error);
  // Runs past the row and the last row, deltas off the picture, an absolute run past the end.
  for (const std::string& rle : {"\xff\1\xff\1\xff\1\xff\1"s, "\0\2\xff\xff\3\1"s, "\0\xff\1\2"s}) {
    const Picture p = ReadBmp(Bmp{40, 2, 2, 8, 1, 0, {}, {R, G}, rle}.Build());
    EXPECT_EQ(p.pixels.argb.size(), 4u);
  }
}

// bmpsuite's 2-bit pictures, rows spread to 4 bits, which ImageMagick reads.
std::string TwoBitsToFour(const std::string& bmp) {
  const auto u32 = [&](std::size_t at) {
    return std::uint32_t(std::uint8_t(bmp[at])) | std::uint32_t(std::uint8_t(bmp[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(bmp[at + 2])) << 16;
  };
  const std::size_t offset = u32(10), width = u32(18), height = u32(22);
  const std::size_t in_stride = (width * 2 + 31) / 32 * 4, out_stride = (width * 4 + 31) / 32 * 4;
  std::string out = bmp.substr(0, offset);
  out[28] = 4;
  for (std::size_t y = 0; y < height; ++y) {
    std::string row(out_stride, '\0');
    for (std::size_t x = 0; x < width; ++x) {
      const int index =
          (std::uint8_t(bmp[offset + y * in_stride + x / 4]) >> (6 - 2 * (x % 4))) & 3;
      row[x / 2] = char(row[x / 2] | index << (x % 2 ? 0 : 4));
    }
    out += row;
  }
  return out;
}

// ImageMagick scales narrow fields by shifting (3 of 2 bits -> 192, not 255; alpha 1 of 1
// bit -> 128), so these files are held to less than one step of each field's own width.
bool WithinFieldStep(const Pixels& ours, const Pixels& im, std::vector<int> bits) {
  if (ours.argb.size() != im.argb.size()) return false;
  for (std::size_t i = 0; i < ours.argb.size(); ++i) {
    for (int c = 0; c < 4; ++c) {
      const int shift = 24 - 8 * c, k = bits[std::size_t(c)];
      const int d = std::abs(int(ours.argb[i] >> shift & 255) - int(im.argb[i] >> shift & 255));
      if (k >= 8 ? d > 2 : d * ((1 << k) - 1) >= 255) return false;
    }
  }
  return true;
}

TEST(Bmp, CorpusMatchesImageMagick) {
  const auto files = Files("valid/bmp", ".bmp");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  const fs::path dir = kCorpus / "valid/bmp";
  const auto suite = [&](const std::string& name) {
    return dir / ("imagers__tests_images_bmp_images_" + name);
  };
  TempDir temp;
  std::vector<double> psnrs;
  for (const fs::path& f : files) {
    SCOPED_TRACE(f.filename().string());
    const std::string name = f.filename().string();
    Picture picture;
    ASSERT_NO_THROW(picture = ReadBmp(ReadBytes(f)));
    const Pixels& ours = picture.pixels;
    if (Has(f, "_pal2")) {  // ImageMagick refuses 2 bits
      WriteBytes(temp / "four.bmp", TwoBitsToFour(ReadBytes(f)));
      EXPECT_EQ(Psnr(ours, Reference(temp / "four.bmp")), 99);
    } else if (Has(f, "rgb24rle24") || Has(f, "rgba32abf")) {  // refused; the same picture
      EXPECT_EQ(Psnr(ours, Reference(suite(Has(f, "rle24") ? "pal8rle.bmp" : "rgba32.bmp"))), 99);
    } else if (Has(f, "X4_R4") || Has(f, "A4_R4") || Has(f, "V5_A1") || Has(f, "-231") ||
               Has(f, "-1924") || Has(f, "-61754")) {
      // alpha, red, green, blue
      const std::vector<int> bits = Has(f, "R4")     ? std::vector{4, 4, 4, 4}
                                    : Has(f, "A1")   ? std::vector{1, 5, 5, 5}
                                    : Has(f, "231")  ? std::vector{8, 2, 3, 1}
                                    : Has(f, "1924") ? std::vector{4, 1, 9, 2}
                                                     : std::vector{4, 6, 17, 5};
      EXPECT_TRUE(WithinFieldStep(ours, Reference(f), bits));
    } else if (Has(f, "badindex")) {  // ImageMagick takes entry 0 for an index past the palette
      const Pixels im = Reference(f);
      const std::string bytes = ReadBytes(f);
      for (int y = 0; y < ours.height; ++y)
        for (int x = 0; x < ours.width; ++x) {
          const int index = std::uint8_t(bytes[458 + (63 - y) * 128 + x]);
          const std::size_t i = std::size_t(y * ours.width + x);
          ASSERT_EQ(ours.argb[i], index >= 101 ? K : im.argb[i]) << x << "," << y;
        }
    } else if (Has(f, "rlecut") || Has(f, "rletrns")) {  // ImageMagick fills skipped pixels
      const Pixels im = Reference(f);
      int clear = 0;
      for (std::size_t i = 0; i < ours.argb.size(); ++i) {
        if (ours.argb[i] == T) {
          ++clear;
        } else {
          ASSERT_EQ(ours.argb[i], im.argb[i]) << i;
        }
      }
      EXPECT_GT(clear, 100);
      EXPECT_TRUE(ours.has_alpha);
    } else {
      psnrs.push_back(Psnr(ours, Reference(f)));
      EXPECT_GE(psnrs.back(), 38);
    }
  }
  std::sort(psnrs.begin(), psnrs.end());
  std::printf("BMP corpus: %zu decoded, %zu against ImageMagick as is: PSNR min %.1f median %.1f\n",
              files.size(), psnrs.size(), psnrs.front(), psnrs[psnrs.size() / 2]);
}

TEST(Ico, CorpusMatchesImageMagickFrameOfSameSize) {
  const auto files = Files("valid/other", ".ico");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  TempDir temp;
  for (const fs::path& f : files) {
    SCOPED_TRACE(f.filename().string());
    Picture picture;
    ASSERT_NO_THROW(picture = ReadIco(ReadBytes(f)));
    const Pixels ours = Straight(picture);
    if (Has(f, "v5_with_icc")) {  // ImageMagick misreads it; bmpsuite's picture under a mask
      EXPECT_FALSE(picture.icc.empty());
      const Pixels im =
          Reference(kCorpus / "valid/bmp/imagers__tests_images_bmp_images_rgb24prof.bmp");
      for (std::size_t i = 0; i < ours.argb.size(); ++i)
        if (ours.argb[i]) {
          ASSERT_EQ(ours.argb[i], im.argb[i]);
        }
      continue;
    }
    double best = 0;
    for (int k = 0;
         k < 8 && testing::Run("convert '" + f.string() + "[" + std::to_string(k) + "]' '" +
                               (temp / "frame.png").string() + "' 2>/dev/null") == 0;
         ++k)
      best = std::max(best, Psnr(ours, Reference(temp / "frame.png")));
    EXPECT_GE(best, 38);
  }
}

TEST(Ico, PicksLargestOfBmpAndPngEntries) {
  TempDir dir;
  const std::string d = dir.path().string() + "/";
  ASSERT_EQ(testing::Run("convert -size 16x16 xc:red '" + d +
                         "16.png' && convert -size 48x48 xc:none -fill blue "
                         "-draw 'rectangle 10,10 30,30' '" +
                         d + "48.png' && convert -size 256x256 gradient:yellow-navy '" + d +
                         "256.png' && convert '" + d + "16.png' '" + d + "48.png' '" + d +
                         "a.ico' && convert '" + d + "48.png' '" + d + "256.png' '" + d +
                         "16.png' '" + d + "b.ico'"),
            0);
  const Picture bmp_coded = ReadIco(ReadBytes(dir / "a.ico"));
  ASSERT_EQ(bmp_coded.pixels.width, 48);
  EXPECT_EQ(bmp_coded.pixels.argb[0], T);
  EXPECT_EQ(bmp_coded.pixels.argb[20 * 48 + 20], B);
  EXPECT_TRUE(bmp_coded.pixels.has_alpha);
  const std::string b = ReadBytes(dir / "b.ico");
  ASSERT_NE(b.find("\x89PNG"), std::string::npos);  // ImageMagick codes the 256 x 256 one as PNG
  const Picture png_coded = ReadIco(b);
  ASSERT_EQ(png_coded.pixels.width, 256);
  EXPECT_GE(Psnr(Straight(png_coded), Reference(dir / "256.png")), 50);
}

TEST(Ico, AndMaskUnlessAlpha) {
  // One 2x1 entry, 32 bits, all alpha zero: the AND mask (10) decides.
  const std::string dib =
      Bmp{40, 2,  2,
          32, 0,  0,
          {}, {}, Le(0x00ff0000, 4) + Le(0x0000ff00, 4) + std::string("\x80\0\0\0", 4)}
          .Build()
          .substr(14);
  const std::string ico = Le(0, 2) + Le(1, 2) + Le(1, 2) + "\2\1\0\0"s + Le(1, 2) + Le(32, 2) +
                          Le(dib.size(), 4) + Le(22, 4) + dib;
  EXPECT_EQ(ReadIco(ico).pixels.argb, (Argb{T, G}));
  std::string with_alpha = ico;
  with_alpha[22 + 40 + 3] = '\xff';  // first pixel's alpha: now alpha rules, not the mask
  EXPECT_EQ(ReadIco(with_alpha).pixels.argb, (Argb{R, 0x0000ff00}));
  EXPECT_THROW(ReadIco(ico.substr(0, 22 + 30)), Error);
  EXPECT_THROW(ReadIco(Le(0, 2) + Le(1, 2) + Le(0, 2)), Error);
}

// A 5x3 picture, file written from the corner `descriptor` names, raw or run-length.
struct Tga {
  int type, bits, descriptor;
  std::string map;  // colour map, 24-bit entries starting at index 2
  std::string Build(const std::vector<std::string>& pixels, bool rle) const {
    std::string out = Le(0, 1) + Le(!map.empty(), 1) + Le(type | (rle ? 8 : 0), 1) +
                      Le(map.empty() ? 0 : 2, 2) + Le(map.size() / 3, 2) +
                      Le(map.empty() ? 0 : 24, 1) + Le(0, 4) + Le(5, 2) + Le(3, 2) + Le(bits, 1) +
                      Le(descriptor, 1) + map;
    std::vector<std::string> stream;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 5; ++c) {
        const int y = descriptor & 0x20 ? r : 2 - r, x = descriptor & 0x10 ? 4 - c : c;
        stream.push_back(pixels[std::size_t(y * 5 + x)]);
      }
    for (std::size_t i = 0; i < stream.size();) {
      std::size_t n = 1;
      while (i + n < stream.size() && stream[i + n] == stream[i]) ++n;
      if (!rle)
        out += stream[i], n = 1;
      else if (n > 1)
        out += Le(0x80 | (n - 1), 1) + stream[i];
      else
        out += Le(0, 1) + stream[i];
      i += n;
    }
    return out;
  }
};

TEST(Tga, EveryOriginDepthAndCoding) {
  // Distinct but for a run over a row's end; alpha 0, 0x80 and 0xff.
  Argb picture;
  for (std::uint32_t i = 0; i < 15; ++i)
    picture.push_back((i % 4 == 0   ? 0
                       : i % 4 == 1 ? 0x80u
                                    : 0xffu)
                          << 24 |
                      (i * 17) << 16 | (255 - i * 17) << 8 | (i * 7));
  picture[5] = picture[6] = picture[4];
  const auto px = [&](auto f) {
    std::vector<std::string> v;
    for (std::uint32_t p : picture) v.push_back(f(p));
    return v;
  };
  std::string map;
  for (std::uint32_t p : picture) map += Le(p & 0xffffff, 3);
  struct Depth {
    const char* name;
    Tga tga;
    std::vector<std::string> pixels;
    Argb expected;
  };
  std::vector<Depth> depths = {
      {"24", {2, 24, 0, ""}, px([](std::uint32_t p) { return Le(p, 3); }), {}},
      {"32 alpha", {2, 32, 8, ""}, px([](std::uint32_t p) { return Le(p, 4); }), picture},
      {"8 mapped", {1, 8, 0, map}, {}, {}},
      {"8 grey", {3, 8, 0, ""}, px([](std::uint32_t p) { return Le(p >> 16, 1); }), {}},
      {"16 attribute alpha",
       {2, 16, 1, ""},
       px([](std::uint32_t p) {
         return Le(
             (p >> 24 ? 0x8000 : 0) | (p >> 19 & 31) << 10 | (p >> 11 & 31) << 5 | (p >> 3 & 31),
             2);
       }),
       {}},
  };
  for (std::size_t i = 0; i < 15; ++i) {
    const std::uint32_t p = picture[i];
    depths[0].expected.push_back(p | K);
    depths[2].pixels.push_back(Le(i + 2 - (i == 5 || i == 6 ? i - 4 : 0), 1));
    depths[2].expected.push_back(p | K);
    depths[3].expected.push_back(K | (p >> 16 & 255) * 0x010101);
    const auto five = [](std::uint32_t c) { return ((c >> 3) * 510 + 31) / 62; };
    depths[4].expected.push_back((p >> 24 ? K : 0) | five(p >> 16 & 255) << 16 |
                                 five(p >> 8 & 255) << 8 | five(p & 255));
  }
  TempDir dir;
  for (Depth& d : depths)
    for (int origin : {0x00, 0x10, 0x20, 0x30})
      for (bool rle : {false, true}) {
        SCOPED_TRACE(std::string(d.name) + " origin " + std::to_string(origin) +
                     (rle ? " rle" : ""));
        Tga tga = d.tga;
        tga.descriptor |= origin;
        const std::string file = tga.Build(d.pixels, rle);
        const Picture p = ReadTga(file);
        EXPECT_EQ(p.pixels.argb, d.expected);
        if (d.tga.bits == 24) {  // ImageMagick agrees on the corners
          WriteBytes(dir / "x.tga", file);
          EXPECT_EQ(Psnr(p.pixels, Reference(dir / "x.tga", "-auto-orient")), 99);
        }
      }
}

TEST(Tga, AlphaAsTheFileMeansIt) {
  const Tga tga{2, 32, 8, ""};
  const std::vector<std::string> clear(15, Le(0x00102030, 4)), half(15, Le(0x80402010, 4));
  EXPECT_EQ(ReadTga(tga.Build(clear, false)).pixels.argb, Argb(15, 0xff102030));  // all-zero alpha
  EXPECT_EQ(ReadTga(tga.Build(half, false)).pixels.argb, Argb(15, 0x80402010));
  // TGA 2.0: the extension area's attribute type
  const auto extended = [&](int attribute) {
    std::string file = tga.Build(half, false);
    const std::size_t at = file.size();
    file += Le(495, 2) + std::string(492, '\0') + Le(attribute, 1);
    return file + Le(at, 4) + Le(0, 4) + std::string("TRUEVISION-XFILE.\0", 18);
  };
  EXPECT_EQ(ReadTga(extended(2)).pixels.argb, Argb(15, 0xff402010));
  EXPECT_EQ(ReadTga(extended(3)).pixels.argb, Argb(15, 0x80402010));
  EXPECT_EQ(ReadTga(extended(4)).pixels.argb, Argb(15, 0x80804020));  // premultiplied
  const Tga grey_alpha{3, 16, 8, ""};
  EXPECT_EQ(ReadTga(grey_alpha.Build(std::vector<std::string>(15, "\x40\x80"), true)).pixels.argb,
            Argb(15, 0x80404040));
}

TEST(Tga, DamagedRefusedOrBounded) {
  const std::string good = Tga{2, 24, 0, ""}.Build(std::vector<std::string>(15, "abc"), false);
  std::string huge = good, empty = good, no_map = good, bad_type = good;
  huge[12] = huge[13] = huge[14] = huge[15] = '\xff';
  empty[12] = empty[13] = 0;
  no_map[2] = 1;
  bad_type[2] = 32;
  for (const std::string& f :
       {huge, empty, no_map, bad_type, good.substr(0, 18), good.substr(0, 10)})
    EXPECT_THROW(ReadTga(f), Error);
  const Picture cut = ReadTga(good.substr(0, 18 + 7 * 3));  // bottom-up: the top rows are missing
  EXPECT_EQ(std::count(cut.pixels.argb.begin(), cut.pixels.argb.end(), T), 8);
  EXPECT_TRUE(cut.pixels.has_alpha);
  // A run past the last pixel; a map index past the map: black.
  std::string over = good.substr(0, 18) + "\xff" + "abc";
  over[2] = 10;
  EXPECT_EQ(ReadTga(over).pixels.argb, Argb(15, 0xff636261));
  const std::string mapped =
      Tga{1, 8, 0, "abcdef"}.Build(std::vector<std::string>(15, "\x09"), false);
  EXPECT_EQ(ReadTga(mapped).pixels.argb, Argb(15, K));
}

TEST(Tga, CorpusMatchesImageMagick) {
  const auto files = Files("valid/other", ".tga");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  TempDir temp;
  std::vector<double> psnrs;
  for (const fs::path& f : files) {
    SCOPED_TRACE(f.filename().string());
    Picture p;
    ASSERT_NO_THROW(p = ReadTga(ReadBytes(f)));
    std::string options = "-auto-orient";
    fs::path reference = f;
    if (Has(f, "utc16") || Has(f, "utc32")) options += " -alpha off";  // all-clear alpha
    if (Has(f, "unused-cmap")) {  // ImageMagick looks pixels up in the map a true-colour file has
      std::string bytes = ReadBytes(f);
      bytes = bytes.substr(0, 1) + '\0' + bytes[2] + std::string(5, '\0') + bytes.substr(8, 10) +
              bytes.substr(18 + 32);
      reference = temp / "no-map.tga";
      WriteBytes(reference, bytes);
    }
    psnrs.push_back(Psnr(p.pixels, Reference(reference, options)));
    EXPECT_GE(psnrs.back(), 38);
  }
  std::sort(psnrs.begin(), psnrs.end());
  std::printf("TGA corpus: %zu decoded: PSNR min %.1f median %.1f\n", files.size(), psnrs.front(),
              psnrs[psnrs.size() / 2]);
}

TEST(BmpIcoTga, CorruptCorpusNeverCrashes) {
  int decoded = 0, refused = 0;
  const std::pair<const char*, std::string> sets[] = {
      {"corrupt/bmp", ".bmp"}, {"corrupt/other", ".ico"}, {"corrupt/other", ".tga"}};
  for (const auto& [folder, ext] : sets)
    for (const fs::path& f : Files(folder, ext)) {
      const std::string bytes = ReadBytes(f);
      try {
        const Picture p = ext == ".bmp"   ? ReadBmp(bytes)
                          : ext == ".ico" ? ReadIco(bytes)
                                          : ReadTga(bytes);
        EXPECT_EQ(p.pixels.argb.size(), std::size_t(p.pixels.width) * std::size_t(p.pixels.height));
        ++decoded;
      } catch (const Error&) {
        ++refused;
      }
    }
  std::printf("corrupt BMP/ICO/TGA: %d decoded, %d refused\n", decoded, refused);
}

}  // namespace
}  // namespace mirvane::image
