#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image/budget.h"
#include "image/exif.h"
#include "pictures.h"
#include "platform/error.h"
#include "platform/win32/bitmap.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/picture_file.h"
#include "platform/win32/text.h"
#include "platform/win32/wic_decode.h"
#include "platform/win32/win32_rastrel.h"
#include "pump.h"

namespace mirvane::platform::win32 {
namespace {

constexpr std::uint32_t kRed = 0xffff0000, kBlue = 0xff0000ff, kGreen = 0xff00ff00,
                        kYellow = 0xffffff00;

// Left half red, right half blue.
std::uint32_t Halves(int x, int /*y*/, int width) { return x < width / 2 ? kRed : kBlue; }

// Whether `pixel` is near `colour` (lossy formats, scaling).
bool Near(std::uint32_t pixel, std::uint32_t colour) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int a = static_cast<int>((pixel >> shift) & 0xff);
    const int b = static_cast<int>((colour >> shift) & 0xff);
    if (a - b > 48 || b - a > 48) return false;
  }
  return true;
}

std::uint32_t At(const Bitmap& bitmap, int x, int y) {
  return bitmap.pixels[static_cast<std::size_t>(y) * bitmap.width + x];
}

class ImageTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IWICImagingFactory,
                                           reinterpret_cast<void**>(factory_.Put()))));
  }
  IWICImagingFactory& Factory() { return *factory_.Get(); }

  ComPtr<IWICImagingFactory> factory_;
};

TEST_F(ImageTest, EveryWicFormatDecodesFittedToTheBox) {
  const std::vector<std::pair<const char*, GUID>> formats = {{"PNG", GUID_ContainerFormatPng},
                                                             {"BMP", GUID_ContainerFormatBmp},
                                                             {"JPEG", GUID_ContainerFormatJpeg},
                                                             {"TIFF", GUID_ContainerFormatTiff},
                                                             {"GIF", GUID_ContainerFormatGif}};
  for (const auto& [name, container] : formats) {
    const std::string bytes =
        test::Encode(container, 80, 40, [](int x, int y) { return Halves(x, y, 80); });
    const Decoded decoded = Decode(Factory(), bytes, {40, 40});
    EXPECT_EQ(decoded.full, (image::Size{80, 40})) << name;
    ASSERT_EQ(decoded.image.size(), (image::Size{40, 20})) << name;
    EXPECT_TRUE(Near(At(decoded.image, 5, 10), kRed)) << name;
    EXPECT_TRUE(Near(At(decoded.image, 34, 10), kBlue)) << name;
  }
}

TEST_F(ImageTest, SmallPicturesAreEnlargedAndEmptyBoxesStillCheckTheFile) {
  const std::string png =
      test::Encode(GUID_ContainerFormatPng, 10, 20, [](int, int) { return kGreen; });
  EXPECT_EQ(Decode(Factory(), png, {100, 100}).image.size(), (image::Size{50, 100}));
  EXPECT_EQ(Decode(Factory(), png, {0, 0}).image.size(), (image::Size{1, 1}));
}

TEST_F(ImageTest, BadFilesThrowAndOversizedOnesAreRefusedBeforeDecoding) {
  const std::string png =
      test::Encode(GUID_ContainerFormatPng, 64, 64, [](int, int) { return kRed; });
  for (const std::string& bad :
       {std::string(), std::string("not a picture at all"), png.substr(0, png.size() / 2),
        test::PngHeaderOnly(100000, 100000), test::PngHeaderOnly(1u << 21, 1)}) {
    EXPECT_THROW(Decode(Factory(), bad, {100, 100}), Error) << bad.size();
  }
}

TEST_F(ImageTest, ExifOrientationIsApplied) {
  // A picture stored on its side: left red, right blue, orientation 6 (turn right).
  const std::string jpeg = test::WithExifOrientation(
      test::Encode(GUID_ContainerFormatJpeg, 80, 40, [](int x, int y) { return Halves(x, y, 80); }),
      6);
  const Decoded decoded = Decode(Factory(), jpeg, {80, 80});
  EXPECT_EQ(decoded.full, (image::Size{40, 80}));
  ASSERT_EQ(decoded.image.size(), (image::Size{40, 80}));
  EXPECT_TRUE(Near(At(decoded.image, 20, 5), kRed));  // the left side is now on top
  EXPECT_TRUE(Near(At(decoded.image, 20, 74), kBlue));
}

TEST(ExifOrientation, ReadOnlyWhereTheBytesSayItAndWithinThem) {
  const std::string jpeg = std::string("\xff\xd8\xff\xd9", 4);
  for (int orientation = 1; orientation <= 8; ++orientation) {
    EXPECT_EQ(image::ExifOrientation(test::WithExifOrientation(jpeg, orientation)), orientation);
  }
  const std::string six = test::WithExifOrientation(jpeg, 6);
  // Cut anywhere, or with the orientation out of range: no orientation, no read past.
  for (std::size_t size = 0; size < six.size() - 2; ++size) {
    EXPECT_EQ(image::ExifOrientation(six.substr(0, size)), 1) << size;
  }
  EXPECT_EQ(image::ExifOrientation(test::WithExifOrientation(jpeg, 9)), 1);
  EXPECT_EQ(image::ExifOrientation(test::WithExifOrientation(jpeg, 0)), 1);
  // A TIFF file is read straight from its first directory, in either byte order.
  const std::string exif = six.substr(12, six.size() - 14);
  EXPECT_EQ(image::ExifOrientation(exif), 6);
  const std::string motorola("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x08\0\0", 22);
  EXPECT_EQ(image::ExifOrientation(motorola), 8);
  EXPECT_EQ(image::ExifOrientation("plain text"), 1);
}

TEST(Bitmap, OrientationsPutTheTopLeftCornerWhereExifSays) {
  // 3 x 2: red at the top-left, the other corners green, blue and yellow.
  Bitmap stored{3, 2, {kRed, 0, kGreen, kBlue, 0, kYellow}};
  // Upright size and where the red corner lands, for orientations 1 to 8.
  const struct {
    int orientation, width, x, y;
  } rows[] = {{1, 3, 0, 0}, {2, 3, 2, 0}, {3, 3, 2, 1}, {4, 3, 0, 1},
              {5, 2, 0, 0}, {6, 2, 1, 0}, {7, 2, 1, 2}, {8, 2, 0, 2}};
  for (const auto& row : rows) {
    const Bitmap upright = Oriented(stored, row.orientation);
    ASSERT_EQ(upright.width, row.width) << row.orientation;
    EXPECT_EQ(At(upright, row.x, row.y), kRed) << row.orientation;
  }
  const Bitmap turned = TurnedClockwise(stored, 1);
  EXPECT_EQ(At(turned, 1, 0), kRed);
  EXPECT_EQ(At(turned, 0, 0), kBlue);
  EXPECT_EQ(TurnedClockwise(TurnedClockwise(stored, 3), 1).pixels, stored.pixels);
}

// Reductions average the area each pixel covers, whatever the ratio; enlargements
// interpolate. The channels are independent.
TEST(Scaling, ReductionsAverageAndEnlargementsInterpolate) {
  const auto grey = [](std::uint32_t pixel) { return pixel & 0xff; };
  Bitmap checks{64, 64, {}};
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) checks.pixels.push_back(((x + y) & 1) ? 0xffffffff : 0xff000000);
  }
  for (const image::Size to :
       {image::Size{16, 16}, image::Size{27, 27}, image::Size{1, 1}, image::Size{63, 5}}) {
    const Bitmap reduced = ScaledTo(checks, to);
    ASSERT_EQ(reduced.size(), to);
    for (const std::uint32_t pixel : reduced.pixels) {
      // Exact for whole ratios; a fractional footprint covers the pattern unevenly.
      const int tolerance = to.width == 63 ? 40 : 64 % to.width == 0 ? 1 : 8;
      EXPECT_NEAR(static_cast<int>(grey(pixel)), 128, tolerance) << to.width;
      EXPECT_EQ(pixel >> 24, 0xffu);
    }
  }
  const Bitmap three{3, 1, {0xff000000, 0xff000030, 0xff000060}};
  EXPECT_EQ(ScaledTo(three, {1, 1}).pixels, std::vector<std::uint32_t>{0xff000030});
  EXPECT_EQ(ScaledTo(three, {2, 1}).pixels, (std::vector<std::uint32_t>{0xff000010, 0xff000050}));

  const Bitmap two{2, 1, {0xff000000, 0xff0000f0}};
  const Bitmap wide = ScaledTo(two, {8, 2});
  ASSERT_EQ(wide.size(), (image::Size{8, 2}));
  EXPECT_EQ(grey(wide.pixels[0]), 0u);
  EXPECT_EQ(grey(wide.pixels[7]), 0xf0u);
  for (int x = 1; x < 8; ++x) EXPECT_GE(grey(wide.pixels[x]), grey(wide.pixels[x - 1]));
}

TEST(Bitmap, SharedPixelsArePremultiplied) {
  image::Pixels pixels{2, 1, true, {0x80ff0000, 0xff00ff00}};
  const Bitmap bitmap = FromPixels(pixels);
  EXPECT_EQ(bitmap.pixels[0], 0x80800000u);
  EXPECT_EQ(bitmap.pixels[1], 0xff00ff00u);
}

// Every corpus file: no crash and no hang; valid PCX (our own reader) all decode.
TEST_F(ImageTest, CorpusFilesDecodeOrFailCleanly) {
  const std::filesystem::path corpus = MIRVANE_CORPUS_DIR;
  if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  std::map<std::string, std::pair<int, int>> counts;  // folder: decoded, total
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
    const std::string folder = entry.path().parent_path().parent_path().filename().string() + "/" +
                               entry.path().parent_path().filename().string();
    auto& [decoded, total] = counts[folder];
    ++total;
    try {
      const Decoded picture =
          Decode(Factory(), ReadPictureFile(Factory(), Narrow(entry.path().wstring())), {320, 240});
      EXPECT_FALSE(picture.image.empty()) << entry.path();
      ++decoded;
    } catch (const Error& e) {
      const bool exotic =
          entry.path().filename() == "commonsimg__data_images_pcx_1_1plane24bppCompressed.pcx";
      EXPECT_FALSE(folder == "valid/pcx" && !exotic) << entry.path() << ": " << e.what();
    }
  }
  for (const auto& [folder, count] : counts) {
    std::printf("  %-14s %4d of %4d decoded\n", folder.c_str(), count.first, count.second);
  }
}

class RastrelTest : public ImageTest {
 protected:
  void SetUp() override {
    ImageTest::SetUp();
    parent_ = CreateWindowExW(0, L"STATIC", L"slots", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    slot_ = std::make_unique<Win32Rastrel>(parent_);
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    name_ = Narrow(folder) + "mirvane-slot-画像.png";
    test::WriteFile(name_, test::Encode(GUID_ContainerFormatPng, 80, 40,
                                        [](int x, int y) { return Halves(x, y, 80); }));
  }
  void TearDown() override {
    slot_.reset();
    DestroyWindow(parent_);
    DeleteFileW(Widen(name_).c_str());
  }

  HWND parent_ = nullptr;
  std::unique_ptr<Win32Rastrel> slot_;
  std::string name_;
};

TEST_F(RastrelTest, RenderFitsTurnTurnsAndRefitFollowsTheSlot) {
  slot_->Refit(0);  // empty: nothing to do, and no failure
  slot_->Turn(900);
  slot_->Left(1);
  slot_->Top(1);
  slot_->Width(3000);  // 200 x 100 pixels at 96 dpi
  slot_->Height(1500);
  slot_->SourcePath(name_);
  slot_->Render();
  EXPECT_EQ(slot_->PictureWidth(), 80);
  EXPECT_EQ(slot_->PictureHeight(), 40);
  EXPECT_EQ(slot_->Shown().size(), (image::Size{200, 100}));

  slot_->Turn(900);
  EXPECT_EQ(slot_->PictureWidth(), 40);
  EXPECT_EQ(slot_->PictureHeight(), 80);
  EXPECT_EQ(slot_->Shown().size(), (image::Size{50, 100}));
  EXPECT_TRUE(Near(At(slot_->Shown(), 25, 10), kRed));  // clockwise: left went on top

  slot_->Height(3000);
  slot_->Refit(0);
  EXPECT_EQ(slot_->Shown().size(), (image::Size{100, 200}));
  slot_->Width(-50);  // a slot of no size keeps working
  slot_->Refit(0);
}

TEST_F(RastrelTest, AFailedRenderKeepsWhatWasShown) {
  slot_->Width(3000);
  slot_->Height(1500);
  slot_->SourcePath(name_);
  slot_->Render();
  for (const std::string& bad : {std::string("missing.png"), std::string(""),
                                 Narrow(std::filesystem::temp_directory_path().wstring())}) {
    slot_->SourcePath(bad);
    EXPECT_THROW(slot_->Render(), Error) << bad;
    EXPECT_EQ(slot_->PictureWidth(), 80);
    EXPECT_EQ(slot_->Shown().size(), (image::Size{200, 100}));
  }
}

// The slot shows every picture opaque, its transparent parts over white as the shared
// pipeline makes them (WIC alone drew them over black).
TEST_F(RastrelTest, TransparencyIsShownOverWhiteAndEveryPixelIsOpaque) {
  // Left half clear, right half half-covered red.
  test::WriteFile(name_, test::Encode(GUID_ContainerFormatPng, 80, 40, [](int x, int) {
                    return x < 40 ? 0x00000000u : 0x80ff0000u;
                  }));
  slot_->Width(3000);
  slot_->Height(1500);
  slot_->SourcePath(name_);
  slot_->Render();
  const Bitmap shown = slot_->Shown();
  ASSERT_EQ(shown.size(), (image::Size{200, 100}));
  EXPECT_TRUE(Near(At(shown, 40, 50), 0xffffffff)) << std::hex << At(shown, 40, 50);
  EXPECT_TRUE(Near(At(shown, 160, 50), 0xffff7f7f)) << std::hex << At(shown, 160, 50);
  for (const std::uint32_t pixel : shown.pixels) ASSERT_EQ(pixel >> 24, 0xffu) << std::hex << pixel;
}

// Orientation 6 (turn right) of a picture stored on its side, left red and right blue: the
// slot shows it upright, whichever format carries the Exif (WIC ignored it in PNG).
TEST_F(RastrelTest, ExifOrientationIsHonouredInJpegAndPng) {
  const auto halves = [](int x, int y) { return Halves(x, y, 80); };
  const struct {
    const char* what;
    std::string bytes;
  } rows[] = {
      {"JPEG",
       test::WithExifOrientation(test::Encode(GUID_ContainerFormatJpeg, 80, 40, halves), 6)},
      {"PNG",
       test::WithPngExifOrientation(test::Encode(GUID_ContainerFormatPng, 80, 40, halves), 6)},
  };
  slot_->Width(3000);
  slot_->Height(1500);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    test::WriteFile(name_, row.bytes);
    slot_->SourcePath(name_);
    slot_->Render();
    EXPECT_EQ(slot_->PictureWidth(), 40);
    EXPECT_EQ(slot_->PictureHeight(), 80);
    const Bitmap shown = slot_->Shown();
    ASSERT_EQ(shown.size(), (image::Size{50, 100}));
    EXPECT_TRUE(Near(At(shown, 25, 10), kRed)) << std::hex << At(shown, 25, 10);  // left on top
    EXPECT_TRUE(Near(At(shown, 25, 90), kBlue)) << std::hex << At(shown, 25, 90);
  }
}

// An animated GIF plays while its slot is on view, with its own delays, and starts over
// after its last frame as its loop count says: forever, or a number of times more (WIC
// showed only the first frame).
TEST_F(RastrelTest, AnAnimatedGifPlaysOnViewAndStartsOverAfterItsLastFrame) {
  const std::vector<std::uint32_t> colours = {kRed, kGreen, kBlue};
  const auto colour_of = [&](std::uint32_t pixel) {
    for (const std::uint32_t colour : colours) {
      if (Near(pixel, colour)) return colour;
    }
    return pixel;
  };
  ShowWindow(parent_, SW_SHOWNOACTIVATE);
  slot_->Width(3000);
  slot_->Height(1500);
  for (const int loops : {0, 2}) {
    SCOPED_TRACE(loops == 0 ? "forever" : "twice more");
    test::WriteFile(name_, test::AnimatedGif(40, 30, {0xff0000, 0x00ff00, 0x0000ff}, 10, loops));
    slot_->SourcePath(name_);
    slot_->Render();
    slot_->Visible(true);
    EXPECT_EQ(slot_->PictureWidth(), 40);
    // The centre's colours, each change noted once.
    std::vector<std::uint32_t> seen;
    const auto played = [&] {
      const Bitmap shown = slot_->Shown();
      if (shown.empty()) return false;
      const std::uint32_t now = colour_of(At(shown, shown.width / 2, shown.height / 2));
      if (seen.empty() || seen.back() != now) seen.push_back(now);
      return seen.size() >= 4;
    };
    EXPECT_TRUE(PumpUntil(played, 10000)) << seen.size() << " colours seen";
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{kRed, kGreen, kBlue, kRed}));
  }
}

}  // namespace
}  // namespace mirvane::platform::win32
