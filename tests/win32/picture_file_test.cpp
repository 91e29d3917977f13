#include "platform/win32/picture_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "image/format.h"
#include "pictures.h"
#include "platform/error.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/text.h"
#include "platform/win32/wic_decode.h"

namespace mirvane::platform::win32 {
namespace {

using namespace std::string_literals;

constexpr std::int64_t kMB = std::int64_t{1} << 20;
const std::string kTgaFooter = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.\0"s;

// An uncompressed true-colour TGA of `width` x `height` at `depth` bits, top row first.
std::string Tga(int width, int height, int depth = 24) {
  std::string tga(18, '\0');
  tga[2] = 2;
  tga[12] = static_cast<char>(width), tga[13] = static_cast<char>(width >> 8);
  tga[14] = static_cast<char>(height), tga[15] = static_cast<char>(height >> 8);
  tga[16] = static_cast<char>(depth);
  tga[17] = 0x20;
  return tga + std::string(static_cast<std::size_t>(width * height * ((depth + 7) / 8)), '\x7f');
}

class PictureFileTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IWICImagingFactory,
                                           reinterpret_cast<void**>(factory_.Put()))));
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    folder_ = Narrow(folder);
  }
  void TearDown() override {
    for (const std::string& name : written_) DeleteFileW(Widen(name).c_str());
  }
  IWICImagingFactory& Factory() { return *factory_.Get(); }
  // A file of `bytes` and then zeros up to `size` (sparse, so that it costs nothing).
  std::string Write(const std::string& leaf, const std::string& bytes, std::int64_t size = 0) {
    const std::string name = folder_ + leaf;
    test::WriteFile(name, bytes);
    written_.push_back(name);
    if (size > static_cast<std::int64_t>(bytes.size())) {
      const HANDLE file = CreateFileW(Widen(name).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
      LARGE_INTEGER end{};
      end.QuadPart = size;
      EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
      CloseHandle(file);
    }
    return name;
  }

  ComPtr<IWICImagingFactory> factory_;
  std::string folder_;
  std::vector<std::string> written_;
};

// Refused or let through from the first bytes (and the size), the way the codecs Wine has
// would be picked for the whole file; the rest is never needed.
TEST_F(PictureFileTest, CheckHeadDecidesFromTheFirstBytes) {
  const std::string png =
      test::Encode(GUID_ContainerFormatPng, 4, 4, [](int, int) { return 0xffff0000u; });
  const std::string big_tga = Tga(160, 160);                      // over the 64 KiB head
  const std::string footed_tga = Tga(200, 200, 15) + kTgaFooter;  // over the head too
  const std::string ico = "\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x68\x04\0\0\x16\0\0\0"s;
  const std::string pcx = "\x0a\x05\x01\x08\0\0\0\0\x0f\0\x0f\0"s;
  const std::string webp = "RIFF\x24\0\0\0WEBPVP8L\x0d\0\0\0\x2f\0\0\0\x10"s;
  const std::string no_codec = "no codec for this file; opening failed";
  const struct {
    const char* what;
    std::string head;
    std::int64_t size;
    std::string name;
    std::string whole;    // what later bytes are read from; none when empty
    std::string refusal;  // empty: let through
  } rows[] = {
      {"text", "hello, world\n", 13, "a.txt", "", no_codec},
      {"zeros, 300 MB", std::string(4096, '\0'), 300 * kMB, "zeros", "", no_codec},
      {"empty", "", 0, "e.png", "", "empty file"},
      {"over the file budget", png, 600 * kMB, "p.png", "", "file too large"},
      {"PNG header over budget", test::PngHeaderOnly(100000, 100000), 100, "", "",
       "picture too large"},
      {"a valid PNG", png, static_cast<std::int64_t>(png.size()), "", "", ""},
      {"TGA not named .tga, over the head", big_tga.substr(0, 65536),
       static_cast<std::int64_t>(big_tga.size()), "picture.bin", "", ""},
      {"TGA told only by its footer", footed_tga.substr(0, 65536),
       static_cast<std::int64_t>(footed_tga.size()), "picture.bin", footed_tga, ""},
      {"the same without the footer read", footed_tga.substr(0, 65536),
       static_cast<std::int64_t>(footed_tga.size()), "picture.bin", "", no_codec},
      {"ICO", ico, 1150, "icon.ico", "", ""},
      {"PCX, our own reader", pcx, 300, "", "", ""},
      {"WebP, no codec here", webp, 44, "w.webp", "", no_codec},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ReadAt read_at;
    if (!row.whole.empty()) {
      read_at = [&row](std::int64_t offset, std::size_t length) {
        return row.whole.substr(static_cast<std::size_t>(offset), length);
      };
    }
    try {
      CheckHead(Factory(), row.head, row.size, row.name, read_at);
      EXPECT_EQ(row.refusal, "");
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), row.refusal);
    }
  }
}

// Files on disk: a picture is read whole, whatever its first bytes needed; a file that is
// no picture is refused naming it, however large.
TEST_F(PictureFileTest, ReadPictureFileReadsOnlyWhatPassesTheCheck) {
  const std::string tga = Tga(160, 160);
  const std::string tga_name = Write("mirvane-no-name.bin", tga);
  EXPECT_EQ(ReadPictureFile(Factory(), tga_name), tga);
  EXPECT_EQ(Decode(Factory(), ReadPictureFile(Factory(), tga_name), {80, 80}).full,
            (image::Size{160, 160}));

  const std::string footed = Tga(200, 200, 15) + kTgaFooter;  // footer read at its place
  const std::string footed_name = Write("mirvane-footed.bin", footed);
  EXPECT_EQ(ReadPictureFile(Factory(), footed_name), footed);

  const struct {
    const char* leaf;
    std::string bytes;
    std::int64_t size;
    std::string refusal;
  } rows[] = {
      {"mirvane-300mb.txt", "not a picture\n", 300 * kMB, "no codec for this file; opening failed"},
      {"mirvane-huge.png", "\x89PNG\r\n\x1a\n"s, 600 * kMB, "file too large"},
      {"mirvane-empty.png", "", 0, "empty file"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.leaf);
    const std::string name = Write(row.leaf, row.bytes, row.size);
    try {
      (void)ReadPictureFile(Factory(), name);
      ADD_FAILURE() << "read";
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), name + ": " + row.refusal);
    }
  }
}

}  // namespace
}  // namespace mirvane::platform::win32
