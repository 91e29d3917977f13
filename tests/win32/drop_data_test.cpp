#include "platform/win32/win32_drop_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drops.h"
#include "platform/error.h"
#include "platform/win32/text.h"

namespace mirvane::platform::win32 {
namespace {

TEST(Win32DropData, NamesComeOneAtATimeUntilAFetchPastTheLastThrows) {
  const std::vector<std::string> names = {"C:\\pics\\red pic.png", "Z:\\tmp\\画像 😀.jpg",
                                          "C:\\folder"};
  DroppedFiles dropped(test::MakeHdrop(names));
  Win32DropData data(dropped.Files());
  EXPECT_TRUE(data.GetFormat(kFileListFormat));
  EXPECT_FALSE(data.GetFormat(1));   // text
  EXPECT_FALSE(data.GetFormat(13));  // Unicode text
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(data.Files(static_cast<std::int16_t>(i + 1)), names[i]);
  }
  EXPECT_THROW(data.Files(4), Error);
  EXPECT_THROW(data.Files(0), Error);
  EXPECT_THROW(data.Files(-1), Error);
}

TEST(Win32DropData, AnEmptyListOffersTheFormatButNoName) {
  DroppedFiles dropped(test::MakeHdrop({}));
  Win32DropData data(dropped.Files());
  EXPECT_TRUE(data.GetFormat(kFileListFormat));
  EXPECT_THROW(data.Files(1), Error);
}

TEST(Win32DropData, OtherDataOffersNoFileList) {
  DroppedFiles dropped;
  Win32DropData data(dropped.Files());
  EXPECT_FALSE(data.GetFormat(kFileListFormat));
  EXPECT_THROW(data.Files(1), Error);
}

}  // namespace
}  // namespace mirvane::platform::win32
