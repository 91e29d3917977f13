// Our PNG decoder on its own: interlaced pictures of every kind, the damage libpng lets
// pass, APNG frames, and the corpus, against ImageMagick's decode.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "image/error.h"
#include "image/fit.h"
#include "image/readers/apng.h"
#include "image/readers/png_decode.h"
#include "reader_test_support.h"

namespace mirvane::image::testing {
namespace {

namespace fs = std::filesystem;

constexpr Size kWhole{1 << 20, 1 << 20};  // nothing is reduced for it

Pixels AsPixels(const PngPicture& p) { return {p.size.width, p.size.height, p.has_alpha, p.argb}; }

std::string Be32(std::uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

std::string Chunk(const std::string& type, const std::string& data) {
  const std::string body = type + data;
  const auto crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
  return Be32(std::uint32_t(data.size())) + body + Be32(std::uint32_t(crc));
}

std::string Deflated(const std::string& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
           uLong(data.size()));
  out.resize(size);
  return out;
}

// A PNG's chunks after the signature, in order.
std::vector<std::pair<std::string, std::string>> Chunks(const std::string& png) {
  std::vector<std::pair<std::string, std::string>> out;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const auto* p = reinterpret_cast<const unsigned char*>(png.data() + at);
    const std::size_t length = std::size_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    out.emplace_back(png.substr(at + 4, 4), png.substr(at + 8, length));
    at += 12 + length;
  }
  return out;
}

std::string ImageData(const std::string& png) {
  std::string idat;
  for (const auto& [type, data] : Chunks(png))
    if (type == "IDAT") idat += data;
  return idat;
}

const std::string kSignature("\x89PNG\r\n\x1a\n", 8);

// Makes pictures with ImageMagick in a folder of its own.
class Maker {
 public:
  // A colourful picture, with a smooth alpha ramp when `alpha`, written with `options` as
  // `name` in `format` ("PNG24:" and the like, or empty for the name's).
  fs::path Make(const std::string& name, int width, int height, bool alpha,
                const std::string& options, const std::string& format = {}) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::string source = "-seed 7 -size " + size + " plasma:";
    if (alpha)
      source += " \\( -size " + size +
                " gradient:white-black \\) -alpha off -compose CopyOpacity -composite";
    const fs::path path = dir_ / name;
    EXPECT_EQ(testing::Run("convert " + source + " " + options + " '" + format + path.string() +
                           "' 2>/dev/null"),
              0);
    return path;
  }

 private:
  TempDir dir_;
};

struct Kind {
  const char* what;
  bool alpha;
  const char* format;   // ImageMagick's prefix for the file name, or empty
  const char* options;  // ImageMagick's
  int colour_type, bit_depth;
  bool transparency = false;
};

const Kind kKinds[] = {
    {"palette", false, "PNG8:", "-colors 200", 3, 8},
    {"palette with tRNS", true, "PNG8:", "-colors 200", 3, 8, true},
    // ImageMagick takes a bit depth with room for one more colour than asked for.
    {"palette 2-bit", false, "", "+dither -colors 3 -define png:color-type=3", 3, 2},
    {"palette 4-bit", false, "", "+dither -colors 12 -define png:color-type=3", 3, 4},
    {"RGB", false, "PNG24:", "", 2, 8},
    {"RGB with a colour key", true, "PNG24:", "", 2, 8, true},
    {"RGBA", true, "PNG32:", "", 6, 8},
    {"RGB 16-bit", false, "PNG48:", "", 2, 16},
    {"RGB 16-bit with a colour key", true, "PNG48:", "", 2, 16, true},
    {"RGBA 16-bit", true, "PNG64:", "", 6, 16},
    {"grey 1-bit", false, "", "-colorspace Gray -depth 1 -type Grayscale", 0, 1},
    {"grey 2-bit", false, "", "-colorspace Gray -depth 2 -type Grayscale", 0, 2},
    {"grey 4-bit", false, "", "-colorspace Gray -depth 4 -type Grayscale", 0, 4},
    {"grey 8-bit", false, "", "-colorspace Gray -depth 8 -type Grayscale", 0, 8},
    {"grey 16-bit", false, "", "-colorspace Gray -depth 16 -type Grayscale", 0, 16},
    {"grey and alpha", true, "", "-colorspace Gray -depth 8 -type GrayscaleAlpha", 4, 8},
    {"grey and alpha 16-bit", true, "", "-colorspace Gray -depth 16 -type GrayscaleAlpha", 4, 16},
};

TEST(PngInterlaced, EveryKindAsImageMagickAndTheSameNotInterlaced) {
  Maker maker;
  // 1 x 1 and 2 x 3 leave most passes empty; 7 x 9 and 33 x 17 leave part bytes.
  const Size sizes[] = {{1, 1}, {2, 3}, {7, 9}, {33, 17}};
  for (const Kind& kind : kKinds) {
    for (const Size size : sizes) {
      SCOPED_TRACE(::testing::Message() << kind.what << ", " << size.width << "x" << size.height);
      const std::string options = kind.options;
      const fs::path interlaced = maker.Make("i.png", size.width, size.height, kind.alpha,
                                             "-interlace PNG " + options, kind.format);
      const fs::path plain = maker.Make("p.png", size.width, size.height, kind.alpha,
                                        "-interlace none " + options, kind.format);
      const std::string bytes = ReadBytes(interlaced);
      ASSERT_GT(bytes.size(), 33u);
      ASSERT_EQ(bytes[28], 1) << "not interlaced";
      // The smallest pictures may be written as another kind; what matters is the pair.
      if (size.width > 2) {
        EXPECT_EQ(bytes[25], kind.colour_type);
        EXPECT_EQ(bytes[24], kind.bit_depth);
        EXPECT_EQ(bytes.find("tRNS") != std::string::npos, kind.transparency);
      }
      const PngPicture ours = DecodePng(bytes, kWhole);
      EXPECT_EQ(ours.full, size);
      ASSERT_EQ(ours.size, size);
      EXPECT_GE(Psnr(AsPixels(ours), Reference(interlaced), true), 38);
      const PngPicture rows = DecodePng(ReadBytes(plain), kWhole);
      EXPECT_EQ(ours.argb, rows.argb);
      EXPECT_EQ(ours.has_alpha, rows.has_alpha);
    }
  }
}

TEST(PngInterlaced, ReducedAsTheSamePictureNotInterlaced) {
  Maker maker;
  // Shown turned: its fit is smaller than the cover, and made from the whole picture.
  const Size full{601, 397}, box{60, 40}, shown{40, 60};
  for (const char* format : {"PNG24:", "PNG32:", "PNG8:"}) {
    SCOPED_TRACE(format);
    const bool alpha = std::string(format) != "PNG24:";
    const std::string interlaced =
        ReadBytes(maker.Make("i.png", full.width, full.height, alpha, "-interlace PNG", format));
    const std::string plain =
        ReadBytes(maker.Make("p.png", full.width, full.height, alpha, "-interlace none", format));
    ASSERT_EQ(interlaced[28], 1);
    const PngPicture a = DecodePng(interlaced, box, shown), b = DecodePng(plain, box, shown);
    EXPECT_EQ(a.full, full);
    ASSERT_EQ(a.size, CoverSize(full, box));
    ASSERT_EQ(a.fitted_size, FittedSize(full, shown));
    ASSERT_EQ(a.size, b.size);
    ASSERT_EQ(a.fitted_size, b.fitted_size);
    const auto close = [](const std::vector<std::uint32_t>& x,
                          const std::vector<std::uint32_t>& y) {
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i)
        for (int shift = 0; shift < 32; shift += 8)
          if (std::abs(int(x[i] >> shift & 0xff) - int(y[i] >> shift & 0xff)) > 1) return false;
      return true;
    };
    EXPECT_TRUE(close(a.argb, b.argb));
    EXPECT_TRUE(close(a.fitted, b.fitted));
  }
}

// A small RGB picture made here, so that its stream can be damaged at will.
struct Made {
  std::string header, rows;
  static Made Rgb(int width, int height) {
    Made m;
    m.header = Be32(width) + Be32(height) + std::string("\x08\x02\x00\x00\x00", 5);
    unsigned seed = 11;
    for (int y = 0; y < height; ++y) {
      m.rows += char(y % 5);  // every filter type
      for (int x = 0; x < width * 3; ++x)
        m.rows += char((seed = seed * 1103515245u + 12345u) >> 16);
    }
    return m;
  }
  std::string Png(const std::string& idat_chunks, const std::string& between = {},
                  const std::string& after = {}) const {
    return kSignature + Chunk("IHDR", header) + between + idat_chunks + after + Chunk("IEND", "");
  }
};

std::string Damaged(std::string s, std::size_t at) {
  s[at] = char(s[at] ^ 0x01);
  return s;
}

TEST(PngLeniency, TakesWhatLibpngTakesAndRefusesTheRest) {
  const Made m = Made::Rgb(16, 12);
  const std::string z = Deflated(m.rows), good = m.Png(Chunk("IDAT", z));
  const std::string longer = Deflated(m.rows + std::string(500, '\0'));
  std::string bad_text = Chunk("tEXt", std::string("a\0b", 3));
  bad_text = Damaged(bad_text, bad_text.size() - 1);
  const struct {
    const char* what;
    std::string bytes;
    bool taken;  // as Qt's reader (libpng 1.6) takes it
  } cases[] = {
      {"an ancillary chunk's CRC wrong", m.Png(Chunk("IDAT", z), bad_text), true},
      {"an ancillary chunk's CRC wrong after the data", m.Png(Chunk("IDAT", z), "", bad_text),
       true},
      {"bytes after IEND", good + "trailing bytes", true},
      {"IEND without its CRC", good.substr(0, good.size() - 4), true},
      {"bytes after the zlib stream", m.Png(Chunk("IDAT", z + "junk")), true},
      {"a second zlib stream", m.Png(Chunk("IDAT", z + z)), true},
      {"an empty IDAT after the data", m.Png(Chunk("IDAT", z), "", Chunk("IDAT", "")), true},
      {"the data split over many IDATs",
       m.Png(Chunk("IDAT", z.substr(0, 7)) + Chunk("IDAT", z.substr(7, 50)) +
             Chunk("IDAT", z.substr(57))),
       true},
      // libpng stops at the rows and only warns about what follows.
      {"more data than the rows", m.Png(Chunk("IDAT", longer)), true},
      {"more data than the rows, adler32 wrong",
       m.Png(Chunk("IDAT", Damaged(longer, longer.size() - 1))), true},
      {"adler32 wrong", m.Png(Chunk("IDAT", Damaged(z, z.size() - 1))), false},
      {"adler32 missing", m.Png(Chunk("IDAT", z.substr(0, z.size() - 4))), false},
      {"more data than the rows, then cut short",
       m.Png(Chunk("IDAT", longer.substr(0, longer.size() - 4))), false},
      {"the stream ends before the rows", m.Png(Chunk("IDAT", Deflated(m.rows.substr(0, 100)))),
       false},
      {"the stream cut short", m.Png(Chunk("IDAT", z.substr(0, z.size() / 2))), false},
      {"the file cut short in IDAT", good.substr(0, 33 + 8 + z.size() / 2), false},
      {"IDAT's CRC wrong", Damaged(m.Png(Chunk("IDAT", z)), 33 + 8 + z.size() + 3), false},
      {"IDATs apart",
       m.Png(Chunk("IDAT", z.substr(0, 20)) + bad_text + Chunk("IDAT", z.substr(20))), false},
      {"an unknown critical chunk after the data", m.Png(Chunk("IDAT", z), "", Chunk("ABCD", "x")),
       false},
  };
  const PngPicture expected = DecodePng(good, kWhole);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.taken) {
      EXPECT_THROW(DecodePng(c.bytes, kWhole), Error);
      continue;
    }
    const PngPicture got = DecodePng(c.bytes, kWhole);
    EXPECT_EQ(got.argb, expected.argb);
  }
}

// What each APNG frame decodes to with a box of its own size: itself, not reduced.
void ExpectFramesWhole(const Apng& apng) {
  for (const ApngFrame& frame : apng.frames) {
    const Size size{frame.width, frame.height};
    const PngPicture picture = DecodePng(frame.png, size);
    EXPECT_EQ(picture.full, size);
    EXPECT_EQ(picture.size, size);
    EXPECT_EQ(picture.argb.size(), std::size_t(size.width) * std::size_t(size.height));
  }
}

TEST(PngApng, FramesDecodeWholeInterlacedOrNot) {
  Maker maker;
  for (const char* interlace : {"PNG", "none"}) {
    SCOPED_TRACE(interlace);
    const std::string options = std::string("-interlace ") + interlace;
    const fs::path first = maker.Make("a.png", 23, 17, true, options, "PNG32:");
    const fs::path second = maker.Make("b.png", 9, 11, false, options, "PNG32:");
    const std::string a = ReadBytes(first), b = ReadBytes(second);
    const auto control = [](int w, int h, int x, int y) {
      return Be32(w) + Be32(h) + Be32(x) + Be32(y) + std::string("\x00\x01\x00\x0a\x00\x00", 6);
    };
    std::string apng = kSignature + Chunk("IHDR", Chunks(a)[0].second) +
                       Chunk("acTL", Be32(2) + Be32(0)) +
                       Chunk("fcTL", Be32(0) + control(23, 17, 0, 0)) +
                       Chunk("IDAT", ImageData(a)) + Chunk("fcTL", Be32(1) + control(9, 11, 5, 3)) +
                       Chunk("fdAT", Be32(2) + ImageData(b)) + Chunk("IEND", "");
    const auto split = SplitApng(apng);
    ASSERT_TRUE(split);
    ASSERT_EQ(split->frames.size(), 2u);
    ExpectFramesWhole(*split);
    const fs::path paths[] = {first, second};
    for (int i = 0; i < 2; ++i) {
      const ApngFrame& f = split->frames[std::size_t(i)];
      const PngPicture picture = DecodePng(f.png, {f.width, f.height});
      EXPECT_GE(Psnr(AsPixels(picture), Reference(paths[i]), true), 38) << "frame " << i;
    }
  }
}

std::vector<fs::path> CorpusFiles(const std::string& folder) {
  std::vector<fs::path> files;
  const fs::path dir = fs::path(MIRVANE_CORPUS_DIR) / folder;
  if (!fs::exists(dir)) return files;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

TEST(PngCorpus, DecodesEveryValidFileAsImageMagick) {
  const std::vector<fs::path> files = CorpusFiles("valid/png");
  if (files.empty()) GTEST_SKIP() << "no corpus";
  std::vector<double> psnrs;
  int interlaced = 0;
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.filename().string());
    const std::string bytes = ReadBytes(path);
    PngPicture picture;
    ASSERT_NO_THROW(picture = DecodePng(bytes, kWhole));
    interlaced += bytes.size() > 28 && bytes[28] == 1;
    if (const auto apng = SplitApng(bytes)) ExpectFramesWhole(*apng);
    // ImageMagick turns the samples of a picture with a gamma of 1 into sRGB; we give them
    // as stored, the gamma beside them.
    const Pixels reference = Reference(path, "-set colorspace sRGB");
    if (reference.argb.empty()) continue;
    const double psnr = Psnr(AsPixels(picture), reference, true);
    EXPECT_GE(psnr, 38);
    psnrs.push_back(psnr);
  }
  EXPECT_GE(interlaced, 30);
  ASSERT_FALSE(psnrs.empty());
  std::sort(psnrs.begin(), psnrs.end());
  std::printf("%zu of %zu files compared; PSNR min %.1f dB, median %.1f dB; %d interlaced\n",
              psnrs.size(), files.size(), psnrs.front(), psnrs[psnrs.size() / 2], interlaced);
}

TEST(PngCorpus, DamagedFilesDecodeOrFailCleanly) {
  int taken = 0, total = 0;
  for (const char* folder : {"corrupt/png", "corrupt/other", "valid/other"}) {
    for (const fs::path& path : CorpusFiles(folder)) {
      SCOPED_TRACE(path.filename().string());
      const std::string bytes = ReadBytes(path);
      ++total;
      // Reduced too: the rows go through the reducer then.
      for (const Size box : {kWhole, Size{3, 2}}) {
        try {
          const PngPicture picture = DecodePng(bytes, box, box);
          EXPECT_EQ(picture.argb.size(),
                    std::size_t(picture.size.width) * std::size_t(picture.size.height));
          taken += box == kWhole;
        } catch (const Error&) {
        }
      }
      try {
        if (const auto apng = SplitApng(bytes)) {
          for (const ApngFrame& frame : apng->frames) {
            try {
              (void)DecodePng(frame.png, {frame.width, frame.height});
            } catch (const Error&) {
            }
          }
        }
      } catch (const Error&) {
      }
    }
  }
  std::printf("%d of %d damaged or other files taken\n", taken, total);
}

}  // namespace
}  // namespace mirvane::image::testing
