#include "platform/win32/win32_drop_data.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/win32/text.h"

namespace mirvane::platform::win32 {
namespace {

// An HDROP as a drop source builds it: DROPFILES, then the wide names, each ended by
// a null, and one more null.
HDROP MakeHdrop(const std::vector<std::string>& names) {
  std::wstring list;
  for (const std::string& name : names) list += Widen(name) + L'\0';
  list += L'\0';
  const std::size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(),
              list.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST(Win32DropData, NamesComeOneAtATimeUntilAFetchPastTheLastThrows) {
  const std::vector<std::string> names = {"C:\\pics\\red pic.png", "Z:\\tmp\\画像 😀.jpg",
                                          "C:\\folder"};
  DroppedFiles dropped(MakeHdrop(names));
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
  DroppedFiles dropped(MakeHdrop({}));
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
