#include "image/readers/jpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "image/error.h"
#include "reader_test_support.h"

namespace mirvane::image {
namespace {

namespace fs = std::filesystem;
using testing::Psnr;
using testing::ReadBytes;
using testing::Reference;
using testing::TempDir;

// Not Run: inside a test body that names testing::Test::Run.
int Shell(const std::string& command) { return testing::Run(command); }

// Debian's ghostscript profiles (libgs-common); the cases that need them skip without.
const std::string kProfiles = "/usr/share/color/icc/ghostscript/";
// Larger than any picture: CoverSize then asks for full scale.
constexpr Size kFullScale{1 << 20, 1 << 20};

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

bool HaveProfiles() { return fs::exists(kProfiles + "default_cmyk.icc"); }

// A photograph-like picture, smooth with edges, of odd size so that the last MCUs are
// partial.
fs::path MakeSource(const TempDir& dir, const std::string& size = "301x203") {
  const fs::path source = dir / ("source-" + size + ".ppm");
  if (!fs::exists(source)) {
    Shell("convert -seed 7 -size " + size + " plasma:fractal -blur 0x1 -depth 8 " + Quoted(source));
  }
  return source;
}

Pixels Rows(const Pixels& p, int first, int count) {
  Pixels rows{p.width, count, p.has_alpha, {}};
  const auto begin = p.argb.begin() + std::ptrdiff_t(first) * p.width;
  rows.argb.assign(begin, begin + std::ptrdiff_t(count) * p.width);
  return rows;
}

std::uint16_t Be16(const std::string& b, std::size_t at) {
  return std::uint16_t(std::uint8_t(b[at]) << 8 | std::uint8_t(b[at + 1]));
}

// Where the first frame header's height field is, or 0.
std::size_t SofSizeAt(const std::string& jpeg) {
  for (std::size_t at = 2; at + 9 < jpeg.size(); at += 2 + Be16(jpeg, at + 2)) {
    const auto marker = std::uint8_t(jpeg[at + 1]);
    if (marker >= 0xc0 && marker <= 0xc2) return at + 5;
  }
  return 0;
}

std::string WithSize(std::string jpeg, int width, int height) {
  const std::size_t at = SofSizeAt(jpeg);
  if (at == 0) return {};
  jpeg[at] = char(height >> 8);
  jpeg[at + 1] = char(height);
  jpeg[at + 2] = char(width >> 8);
  jpeg[at + 3] = char(width);
  return jpeg;
}

// `jpeg`, which has `scans` scans, with its last one (tables, header and data) repeated to
// make `total`.
std::string WithScans(const std::string& jpeg, int scans, int total) {
  std::vector<std::size_t> data_ends;  // where each scan's entropy-coded data ends
  std::size_t at = 2;
  while (at + 4 <= jpeg.size() && std::uint8_t(jpeg[at + 1]) != 0xd9) {
    const bool scan = std::uint8_t(jpeg[at + 1]) == 0xda;
    at += 2 + Be16(jpeg, at + 2);
    if (!scan) continue;
    // Data runs up to a marker other than a stuffed zero or a restart.
    while (at + 1 < jpeg.size() && !(std::uint8_t(jpeg[at]) == 0xff && jpeg[at + 1] != 0 &&
                                     (std::uint8_t(jpeg[at + 1]) & 0xf8) != 0xd0))
      ++at;
    data_ends.push_back(at);
  }
  if (int(data_ends.size()) != scans) return {};
  const std::size_t begin = data_ends[data_ends.size() - 2], end = data_ends.back();
  std::string out = jpeg.substr(0, end);
  for (int i = scans; i < total; ++i) out += jpeg.substr(begin, end - begin);
  return out + jpeg.substr(end);
}

// `jpeg` with an Exif segment right after SOI whose one entry is the orientation.
std::string WithOrientation(const std::string& jpeg, int orientation, bool big_endian) {
  std::string tiff;
  const auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = big_endian ? 8 * (bytes - 1 - i) : 8 * i;
      tiff += char(v >> shift);
    }
  };
  tiff += big_endian ? "MM" : "II";
  put(42, 2);
  put(8, 4);       // first directory
  put(1, 2);       // one entry
  put(0x0112, 2);  // Orientation
  put(3, 2);       // SHORT
  put(1, 4);
  put(std::uint32_t(orientation), 2);
  put(0, 2);
  put(0, 4);  // no next directory
  const std::string body = std::string("Exif\0\0", 6) + tiff;
  const std::size_t length = body.size() + 2;
  const std::string segment = std::string("\xff\xe1") + char(length >> 8) + char(length) + body;
  return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

// What the reader makes of a file the tools wrote.
struct Made {
  std::string name;
  std::string command;    // writes $OUT from $IN
  std::string reference;  // ImageMagick's options that give the expected sRGB pixels
  bool needs_profiles = false;
};

TEST(JpegReader, DecodesEveryKindLikeImageMagick) {
  TempDir dir;
  const fs::path source = MakeSource(dir);
  const std::string srgb = kProfiles + "srgb.icc";
  const std::vector<Made> cases = {
      {"grey", "convert $IN -colorspace gray -quality 92 $OUT", ""},
      {"YCbCr 4:4:4", "cjpeg -quality 92 -sample 1x1 $IN > $OUT", ""},
      {"YCbCr 4:2:2", "cjpeg -quality 92 -sample 2x1 $IN > $OUT", ""},
      {"YCbCr 4:2:0", "cjpeg -quality 92 -sample 2x2 $IN > $OUT", ""},
      {"RGB without transform", "cjpeg -quality 92 -rgb $IN > $OUT", ""},
      {"progressive", "cjpeg -quality 92 -progressive $IN > $OUT", ""},
      {"progressive grey", "cjpeg -quality 92 -grayscale -progressive $IN > $OUT", ""},
      {"restart markers", "cjpeg -quality 92 -restart 1 $IN > $OUT", ""},
      {"arithmetic coding", "cjpeg -quality 92 -arithmetic $IN > $OUT", ""},
      {"CMYK", "convert $IN -colorspace CMYK -quality 95 $OUT", "-colorspace sRGB"},
      // The profile spans three APP2 segments.
      {"CMYK with profile",
       "convert $IN -profile " + srgb + " -profile " + kProfiles + "default_cmyk.icc" +
           " -quality 95 $OUT",
       "-intent Relative -profile " + srgb, true},
  };
  for (const Made& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needs_profiles && !HaveProfiles()) continue;
    const fs::path file = dir / "x.jpg";
    std::string command = c.command;
    command.replace(command.find("$IN"), 3, Quoted(source));
    command.replace(command.find("$OUT"), 4, Quoted(file));
    ASSERT_EQ(Shell(command), 0) << command;

    const Picture picture = ReadJpeg(ReadBytes(file), kFullScale);
    const Pixels reference = Reference(file, c.reference);
    ASSERT_EQ(reference.width, 301);
    EXPECT_EQ(picture.full, (Size{301, 203}));
    EXPECT_EQ(picture.orientation, 1);
    EXPECT_TRUE(picture.icc.empty());
    EXPECT_FALSE(picture.pixels.has_alpha);
    EXPECT_TRUE(std::all_of(picture.pixels.argb.begin(), picture.pixels.argb.end(),
                            [](std::uint32_t p) { return p >> 24 == 0xff; }));
    const double psnr = Psnr(picture.pixels, reference);
    std::printf("%-24s %.1f dB\n", c.name.c_str(), psnr);
    EXPECT_GE(psnr, 38);
  }
}

// RGB and grey pixels stay in the file's own colour space; its profile comes through whole.
TEST(JpegReader, PassesTheProfileOn) {
  if (!HaveProfiles()) GTEST_SKIP() << "no ICC profiles under " << kProfiles;
  TempDir dir;
  const fs::path source = MakeSource(dir);
  const struct {
    const char* profile;
    const char* kind;
  } cases[] = {{"a98.icc", ""}, {"sgray.icc", "-colorspace gray"}, {"esrgb.icc", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.profile);
    const fs::path file = dir / "x.jpg";
    ASSERT_EQ(Shell("convert " + Quoted(source) + " " + c.kind + " -profile " + kProfiles +
                    c.profile + " -quality 95 " + Quoted(file)),
              0);
    const Picture picture = ReadJpeg(ReadBytes(file), kFullScale);
    EXPECT_EQ(picture.icc, ReadBytes(kProfiles + c.profile));
    EXPECT_GE(Psnr(picture.pixels, Reference(file)), 38);
  }
}

TEST(JpegReader, LeavesTheExifOrientationToApply) {
  TempDir dir;
  const fs::path file = dir / "x.jpg";
  ASSERT_EQ(Shell("cjpeg " + Quoted(MakeSource(dir, "64x32")) + " > " + Quoted(file)), 0);
  const std::string plain = ReadBytes(file);
  const Pixels stored = ReadJpeg(plain, kFullScale).pixels;
  for (int orientation = 1; orientation <= 8; ++orientation) {
    for (const bool big_endian : {false, true}) {
      SCOPED_TRACE(std::to_string(orientation) + (big_endian ? " MM" : " II"));
      const Picture picture = ReadJpeg(WithOrientation(plain, orientation, big_endian), kFullScale);
      EXPECT_EQ(picture.orientation, orientation);
      EXPECT_EQ(picture.full, orientation >= 5 ? (Size{32, 64}) : (Size{64, 32}));
      EXPECT_EQ(picture.pixels.width, 64);
      EXPECT_EQ(picture.pixels.argb, stored.argb);
    }
  }
}

TEST(JpegReader, ShowsAFileCutShortAsFarAsItGoes) {
  TempDir dir;
  const fs::path source = MakeSource(dir, "320x240");
  const fs::path file = dir / "x.jpg";
  for (const char* options : {"-baseline", "-progressive"}) {
    SCOPED_TRACE(options);
    ASSERT_EQ(Shell("cjpeg -quality 92 " + std::string(options) + " " + Quoted(source) + " > " +
                    Quoted(file)),
              0);
    const std::string whole = ReadBytes(file);
    const Pixels reference = Reference(file);
    const Picture picture = ReadJpeg(whole.substr(0, whole.size() * 6 / 10), kFullScale);
    ASSERT_EQ(picture.pixels.width, 320);
    ASSERT_EQ(picture.pixels.height, 240);
    const double top = Psnr(Rows(picture.pixels, 0, 40), Rows(reference, 0, 40));
    const double all = Psnr(picture.pixels, reference);
    std::printf("%s cut short: %.1f dB top rows, %.1f dB whole\n", options, top, all);
    if (std::string(options) == "-baseline") {
      // Rows past the end come out the grey of empty blocks.
      EXPECT_GE(top, 38);
      const Pixels last = Rows(picture.pixels, 239, 1);
      EXPECT_TRUE(std::all_of(last.argb.begin(), last.argb.end(),
                              [](std::uint32_t p) { return p == 0xff808080u; }));
    } else {
      // Every scan that came through in full refines the whole picture.
      EXPECT_GE(all, 20);
    }
  }
  // Without a whole header there is nothing to show.
  EXPECT_THROW(ReadJpeg(ReadBytes(file).substr(0, 100), kFullScale), Error);
  EXPECT_THROW(ReadJpeg({}, kFullScale), Error);
  EXPECT_THROW(ReadJpeg("\xff\xd8\xff", kFullScale), Error);
}

TEST(JpegReader, DecodesAtTheSmallestScaleThatCovers) {
  TempDir dir;
  const fs::path large = dir / "large.jpg";
  const fs::path odd = dir / "odd.jpg";
  ASSERT_EQ(Shell("convert -size 4000x3000 gradient:red-blue " + Quoted(large)), 0);
  ASSERT_EQ(Shell("convert -size 1001x601 gradient: " + Quoted(odd)), 0);
  const std::string landscape = ReadBytes(large);
  const std::string turned = WithOrientation(landscape, 6, false);
  const struct {
    const char* name;
    const std::string& file;
    Size box;
    Size decoded;
  } cases[] = {
      {"1/8", landscape, {459, 303}, {500, 375}},
      {"box upright, file turned", turned, {303, 459}, {500, 375}},
      {"empty box", landscape, {0, 0}, {500, 375}},
      {"2/8", landscape, {1000, 1000}, {1000, 750}},
      {"3/8", landscape, {1920, 1080}, {1500, 1125}},
      {"7/8", landscape, {3100, 3100}, {3500, 2625}},
      {"full", landscape, {4000, 3000}, {4000, 3000}},
      {"box larger than the picture", landscape, {8000, 8000}, {4000, 3000}},
      // 1001/8 rounds up to 126: 1/8 is enough.
      {"rounded up", ReadBytes(odd), {126, 76}, {126, 76}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Picture picture = ReadJpeg(c.file, c.box);
    EXPECT_EQ((Size{picture.pixels.width, picture.pixels.height}), c.decoded);
    EXPECT_EQ(picture.pixels.argb.size(), std::size_t(c.decoded.width) * c.decoded.height);
  }
  EXPECT_EQ(ReadJpeg(turned, {303, 459}).full, (Size{3000, 4000}));
}

// Each DCT scale against libjpeg-turbo's own tool: rows of odd width, both colour paths.
TEST(JpegReader, ScaledOutputMatchesDjpeg) {
  TempDir dir;
  const fs::path source = MakeSource(dir);
  const fs::path file = dir / "x.jpg";
  const fs::path expected = dir / "expected.pnm";
  for (const char* kind : {"-sample 2x2", "-grayscale"}) {
    ASSERT_EQ(Shell("cjpeg " + std::string(kind) + " " + Quoted(source) + " > " + Quoted(file)), 0);
    const std::string bytes = ReadBytes(file);
    for (int n = 1; n <= 8; ++n) {
      SCOPED_TRACE(std::string(kind) + " " + std::to_string(n) + "/8");
      const Size box{(301 * n + 7) / 8, (203 * n + 7) / 8};
      ASSERT_EQ(Shell("djpeg -scale " + std::to_string(n) + "/8 " + Quoted(file) + " > " +
                      Quoted(expected)),
                0);
      const Picture picture = ReadJpeg(bytes, box);
      EXPECT_EQ((Size{picture.pixels.width, picture.pixels.height}), box);
      EXPECT_GE(Psnr(picture.pixels, Reference(expected)), 38);
    }
  }
}

TEST(JpegReader, RefusesPicturesOverBudgetFromTheHeader) {
  TempDir dir;
  const fs::path source = MakeSource(dir, "64x48");
  const fs::path baseline = dir / "baseline.jpg";
  const fs::path progressive = dir / "progressive.jpg";
  ASSERT_EQ(Shell("cjpeg " + Quoted(source) + " > " + Quoted(baseline)), 0);
  ASSERT_EQ(Shell("cjpeg -progressive -sample 1x1 " + Quoted(source) + " > " + Quoted(progressive)),
            0);
  const struct {
    const char* name;
    fs::path file;
    Size size;
    Size box;
  } cases[] = {
      {"too many pixels even for JPEG", baseline, {65000, 65000}, {0, 0}},
      {"wider than libjpeg goes", baseline, {65535, 16}, {0, 0}},
      {"too many pixels at the scale asked", baseline, {20000, 20000}, {20000, 20000}},
      // Small to show, but each coefficient of the whole picture is kept: gigabytes.
      {"progressive, too many coefficients", progressive, {30000, 16000}, {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = WithSize(ReadBytes(c.file), c.size.width, c.size.height);
    ASSERT_FALSE(bytes.empty());
    try {
      ReadJpeg(bytes, c.box);
      ADD_FAILURE() << "decoded";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "picture too large");
    }
  }
}

// Damaged files can repeat scans by the thousand, each a pass over the whole picture.
TEST(JpegReader, RefusesEndlessScans) {
  TempDir dir;
  const fs::path file = dir / "x.jpg";
  ASSERT_EQ(
      Shell("cjpeg -grayscale -progressive " + Quoted(MakeSource(dir)) + " > " + Quoted(file)), 0);
  const std::string progressive = ReadBytes(file);
  const std::string some = WithScans(progressive, 6, 100);  // cjpeg's grey script: 6 scans
  const std::string endless = WithScans(progressive, 6, 10000);
  ASSERT_FALSE(some.empty());
  EXPECT_EQ(ReadJpeg(some, kFullScale).pixels.width, 301);
  try {
    ReadJpeg(endless, kFullScale);
    ADD_FAILURE() << "decoded";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("scans"), std::string::npos) << e.what();
  }
}

// The shared corpus sits beside the repository; without it these skip.
std::vector<fs::path> CorpusFiles(const std::string& folder) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::path(MIRVANE_CORPUS_DIR) / folder, error))
    files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string Colourspace(const fs::path& file) {
  const TempDir dir;
  Shell("identify -format '%[colorspace]' " + Quoted(file) + " > " + Quoted(dir / "out") +
        " 2>/dev/null");
  return ReadBytes(dir / "out");
}

bool HasProfile(const fs::path& file) {
  const TempDir dir;
  return Shell("convert " + Quoted(file) + " " + Quoted(dir / "x.icc") + " 2>/dev/null") == 0 &&
         fs::file_size(dir / "x.icc") > 0;
}

// Valid files this reader refuses, and why.
constexpr const char* kRefused[] = {
    "jpegdec__tests_reftest_images_mozilla_jpg-size-6x6.jpg",  // a PNG file under a JPEG name
    "ljt__testimages_monkey12.jpg",  // 12-bit samples: the 8-bit library refuses them
};

TEST(JpegCorpus, ValidFilesMatchImageMagick) {
  const std::vector<fs::path> files = CorpusFiles("valid/jpeg");
  if (files.empty()) GTEST_SKIP() << "no corpus at " << MIRVANE_CORPUS_DIR;
  std::vector<double> figures;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    if (std::find(std::begin(kRefused), std::end(kRefused), file.filename()) !=
        std::end(kRefused)) {
      EXPECT_THROW(ReadJpeg(ReadBytes(file), kFullScale), Error);
      continue;
    }
    Picture picture;
    try {
      picture = ReadJpeg(ReadBytes(file), kFullScale);
    } catch (const Error& e) {
      ADD_FAILURE() << "refused: " << e.what();
      continue;
    }
    // CMYK comes out as sRGB, through the file's profile when it has one.
    std::string options;
    if (Colourspace(file) == "CMYK")
      options = HasProfile(file) ? "-intent Relative -profile " + kProfiles + "srgb.icc"
                                 : "-colorspace sRGB";
    const double psnr = Psnr(picture.pixels, Reference(file, options));
    std::printf("%5.1f dB  %s\n", psnr, file.filename().c_str());
    EXPECT_GE(psnr, 38);
    figures.push_back(psnr);
  }
  std::sort(figures.begin(), figures.end());
  if (!figures.empty()) {
    std::printf("%zu files: min %.1f dB, median %.1f dB\n", figures.size(), figures.front(),
                figures[figures.size() / 2]);
  }
}

TEST(JpegCorpus, DamagedFilesAreShownOrRefused) {
  const std::vector<fs::path> files = CorpusFiles("corrupt/jpeg");
  if (files.empty()) GTEST_SKIP() << "no corpus at " << MIRVANE_CORPUS_DIR;
  int shown = 0, refused = 0;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::string bytes = ReadBytes(file);
    for (const Size box : {kFullScale, Size{64, 64}}) {
      try {
        const Picture picture = ReadJpeg(bytes, box);
        EXPECT_EQ(picture.pixels.argb.size(),
                  std::size_t(picture.pixels.width) * std::size_t(picture.pixels.height));
        ++shown;
      } catch (const Error&) {
        ++refused;
      }
    }
  }
  std::printf("%zu files, two scales: %d shown, %d refused\n", files.size(), shown, refused);
}

}  // namespace
}  // namespace mirvane::image
