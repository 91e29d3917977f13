#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "image/budget.h"
#include "image/error.h"
#include "image/readers/tiff.h"
#include "reader_test_support.h"

namespace mirvane::image {
namespace {

namespace t = mirvane::image::testing;
namespace fs = std::filesystem;

const fs::path kProfiles = "/usr/share/color/icc/ghostscript";

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// A 64 x 48 picture with detail, and the same with alpha fading from opaque at the top.
fs::path MakeSource(const t::TempDir& dir, bool alpha) {
  const fs::path opaque = dir / "source.png", faded = dir / "faded.png";
  if (!fs::exists(opaque))
    t::Run("convert -size 64x48 -seed 7 plasma:fractal -depth 8 " + Quoted(opaque));
  if (alpha && !fs::exists(faded)) {
    t::Run("convert " + Quoted(opaque) +
           " \\( -size 64x48 gradient:white-black \\) -alpha off -compose CopyOpacity -composite " +
           Quoted(faded));
  }
  return alpha ? faded : opaque;
}

fs::path Convert(const t::TempDir& dir, bool alpha, const std::string& options,
                 const std::string& name) {
  const fs::path file = dir / name;
  t::Run("convert " + Quoted(MakeSource(dir, alpha)) + " " + options + " " + Quoted(file));
  return file;
}

TEST(TiffReader, DecodesEveryLayoutLikeImageMagick) {
  const t::TempDir dir;
  const std::string a98 = " -profile " + Quoted(kProfiles / "a98.icc");
  const struct {
    std::string options;
    bool alpha;
    std::string icc;  // passed on as it is
  } cases[] = {
      {"-colors 64 -type Palette", false, ""},
      {"-colors 16 -type Palette -depth 4", false, ""},
      {"-monochrome -depth 1 -compress None", false, ""},
      {"-monochrome -compress Group4", false, ""},
      {"-colorspace Gray -depth 16", false, ""},
      {"-colorspace Gray -depth 12", false, ""},
      {"-colorspace Gray -define quantum:format=signed -depth 16", false, ""},
      {"-depth 8 -compress None" + a98, false, "a98.icc"},
      {"-depth 10", false, ""},
      {"-depth 16 -compress LZW", false, ""},
      {"-compress JPEG -quality 95", false, ""},
      {"-define tiff:tile-geometry=16x16 -compress Zip", false, ""},
      {"-interlace Plane", false, ""},
      {"-define quantum:format=floating-point -depth 32", false, ""},
      {"-define quantum:format=floating-point -depth 64", false, ""},
      {"-colorspace CMYK", false, ""},
      {"-define tiff:alpha=associated", true, ""},
      {"-define tiff:alpha=unassociated -depth 16", true, ""},
      {"-colorspace Gray -define tiff:alpha=associated", true, ""},
      {"-colorspace Gray -interlace Plane", true, ""},
      {"-colorspace CMYK", true, ""},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const fs::path file = Convert(dir, c.alpha, c.options, std::to_string(n++) + ".tif");
    const Pixels reference = t::Reference(file);
    ASSERT_FALSE(reference.argb.empty());
    const Picture picture = ReadTiff(t::ReadBytes(file));
    EXPECT_EQ(picture.pixels.has_alpha, c.alpha);
    EXPECT_EQ(picture.full, (Size{64, 48}));
    EXPECT_EQ(picture.icc, c.icc.empty() ? "" : t::ReadBytes(kProfiles / c.icc));
    EXPECT_GE(t::Psnr(picture.pixels, reference, picture.premultiplied), 40);
  }
}

TEST(TiffReader, TakesCmykThroughItsProfileToSrgb) {
  const t::TempDir dir;
  const std::string profiles = " -profile " + Quoted(kProfiles / "srgb.icc") + " -profile " +
                               Quoted(kProfiles / "default_cmyk.icc");
  const fs::path file = Convert(dir, false, profiles, "cmyk-profile.tif");
  const Picture picture = ReadTiff(t::ReadBytes(file));
  EXPECT_TRUE(picture.icc.empty());  // already sRGB
  EXPECT_FALSE(picture.pixels.has_alpha);
  const Pixels managed =
      t::Reference(file, "-intent Relative -profile " + Quoted(kProfiles / "srgb.icc"));
  const Pixels naive = t::Reference(file);
  const double to_managed = t::Psnr(picture.pixels, managed);
  EXPECT_GE(to_managed, 32);
  EXPECT_GT(to_managed, t::Psnr(picture.pixels, naive) + 3);  // the profile made a difference
}

TEST(TiffReader, LeavesTheOrientationToApply) {
  const t::TempDir dir;
  const char* names[] = {"TopLeft", "TopRight", "BottomRight", "BottomLeft",
                         "LeftTop", "RightTop", "RightBottom", "LeftBottom"};
  for (int orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    const fs::path file = Convert(dir, false, std::string("-orient ") + names[orientation - 1],
                                  "orient" + std::to_string(orientation) + ".tif");
    const Picture picture = ReadTiff(t::ReadBytes(file));
    EXPECT_EQ(picture.orientation, orientation);
    EXPECT_EQ(picture.full, orientation >= 5 ? (Size{48, 64}) : (Size{64, 48}));
    // As stored: the rows are turned later, once for every format.
    EXPECT_GE(t::Psnr(picture.pixels, t::Reference(file)), 45);
  }
}

// `tiff` (little-endian) with the sides in its first directory replaced.
std::string Resized(std::string tiff, std::uint32_t w, std::uint32_t h) {
  const auto get = [&](std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | std::uint8_t(tiff[at + i]);
    return v;
  };
  const std::size_t ifd = get(4, 4);
  for (std::size_t e = ifd + 2; e < ifd + 2 + get(ifd, 2) * 12; e += 12) {
    const std::uint32_t tag = get(e, 2);
    if (tag != 256 && tag != 257) continue;
    const std::uint32_t v = tag == 256 ? w : h;
    tiff[e + 2] = 4;  // LONG, whatever the writer chose
    for (int i = 0; i < 4; ++i) tiff[e + 8 + i] = char(v >> (8 * i));
  }
  return tiff;
}

TEST(TiffReader, RefusesPicturesOverBudgetFromTheHeader) {
  const t::TempDir dir;
  const std::string tiff = t::ReadBytes(Convert(dir, false, "-compress None", "small.tif"));
  ASSERT_EQ(ReadTiff(Resized(tiff, 64, 48)).pixels.width, 64);  // the patching works
  for (const auto& [w, h] :
       {std::pair<std::uint32_t, std::uint32_t>{20000, 20000}, {std::uint32_t(kMaxSide) + 1, 1}}) {
    try {
      (void)ReadTiff(Resized(tiff, w, h));
      ADD_FAILURE() << w << "x" << h << " read";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "picture too large") << w << "x" << h;
    }
  }
}

// Decodes each of `files`, or throws Error: nothing else, not a crash nor a hang.
void ReadsOrRefuses(const std::vector<std::string>& files) {
  for (const std::string& bytes : files) {
    try {
      (void)ReadTiff(bytes);
    } catch (const Error&) {
    }
  }
}

TEST(TiffReader, RefusesDamagedFilesQuietly) {
  const t::TempDir dir;
  std::vector<std::string> damaged;
  for (const char* options : {"-compress LZW", "-compress JPEG", "-colorspace CMYK -depth 16"}) {
    const std::string whole = t::ReadBytes(Convert(dir, false, options, "whole.tif"));
    for (std::size_t n = 0; n < whole.size(); n += whole.size() / 5 + 3)
      damaged.push_back(whole.substr(0, n));
    std::string scrambled = whole;
    for (std::size_t i = 8; i < scrambled.size(); i += 37) scrambled[i] = char(~scrambled[i]);
    damaged.push_back(scrambled);
  }
  // libtiff reports through handlers that would write to stderr.
  std::fflush(stderr);
  const int saved = dup(2);
  const fs::path log = dir / "stderr.txt";
  FILE* sink = std::fopen(log.c_str(), "w");
  ASSERT_TRUE(sink);
  dup2(fileno(sink), 2);
  ReadsOrRefuses(damaged);
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::fclose(sink);
  EXPECT_EQ(t::ReadBytes(log), "");
}

const fs::path kCorpus = fs::path(MIRVANE_CORPUS_DIR);

std::vector<fs::path> Files(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// Corpus files ImageMagick 6 reads otherwise than libtiff, by what it does; each of ours
// was checked by eye (the 24-bit flowers against their 8-bit versions).
const struct {
  const char* reason;
  std::vector<const char*> parts;
} kImageMagickDiffers[] = {
    {"ignores MinIsWhite at depths other than 1, 8 and 16",
     {"white-1c-3b", "white-1c-6b", "white-1c-12b", "c-3b-minis", "c-4b-minis", "c-5b-minis",
      "c-6b-minis", "c-7b-minis", "c-10b-minis", "c-12b-minis", "c-14b-minis", "text.tif"}},
    {"misreads 24-bit samples", {"c-24b-", "minisblack-24", "contig-24", "planar-24"}},
    {"takes signed samples for unsigned but for 16-bit grey (and so seems one file meant)",
     {"int8", "-i8b", "-i8-", "gray-i8", "int16_rgb", "-i32-"}},
    {"takes unmarked extra samples for alpha", {"seq-3c-i16-", "geo-5b", "extra_bits_gray"}},
    {"drops the alpha plane of planar grey", {"minisblack-2c-8b-alpha"}},
    {"misdecodes old-style JPEG and subsampled YCbCr", {"smallliz", "zackthecat", "ycbcr-cat"}},
    {"maps LogL luminance to other tones", {"off_l16"}},
};

bool ImageMagickDiffers(const fs::path& file) {
  const std::string name = file.filename().string();
  for (const auto& e : kImageMagickDiffers) {
    for (const char* part : e.parts)
      if (name.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(TiffCorpus, DecodesEveryValidFileLikeImageMagick) {
  const fs::path folder = kCorpus / "valid/tiff";
  if (!fs::is_directory(folder)) GTEST_SKIP() << "no corpus";
  std::vector<double> scores;
  int decoded = 0;
  const std::vector<fs::path> files = Files(folder);
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    Picture picture;
    try {
      picture = ReadTiff(t::ReadBytes(file));
    } catch (const Error& e) {
      ADD_FAILURE() << e.what();
      continue;
    }
    ++decoded;
    const int w = picture.pixels.width, h = picture.pixels.height;
    EXPECT_EQ(picture.pixels.argb.size(), std::size_t(w) * std::size_t(h));
    EXPECT_EQ(picture.full, picture.orientation >= 5 ? (Size{h, w}) : (Size{w, h}));
    if (ImageMagickDiffers(file)) continue;
    const Pixels reference = t::Reference(file);
    if (reference.argb.empty()) continue;  // ImageMagick cannot read it
    scores.push_back(t::Psnr(picture.pixels, reference, picture.premultiplied));
    EXPECT_GE(scores.back(), 38);
  }
  std::sort(scores.begin(), scores.end());
  std::printf("TIFF corpus: %d of %zu decoded, %zu compared, PSNR min %.2f median %.2f\n", decoded,
              files.size(), scores.size(), scores.empty() ? 0.0 : scores.front(),
              scores.empty() ? 0.0 : scores[scores.size() / 2]);
}

TEST(TiffCorpus, ReadsOrRefusesEveryCorruptFile) {
  const fs::path folder = kCorpus / "corrupt/tiff";
  if (!fs::is_directory(folder)) GTEST_SKIP() << "no corpus";
  std::vector<std::string> files;
  for (const fs::path& file : Files(folder)) files.push_back(t::ReadBytes(file));
  ReadsOrRefuses(files);
}

}  // namespace
}  // namespace mirvane::image
