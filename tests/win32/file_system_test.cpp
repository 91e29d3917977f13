#include "platform/win32/win32_file_system.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/text.h"
#include "platform/win32/win32.h"

namespace mirvane::platform::win32 {
namespace {

// Runs each test inside a fresh temporary directory, which it makes current.
class Win32FileSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH, buffer);
    previous_ = buffer;
    GetTempPathW(MAX_PATH, buffer);
    directory_ = std::wstring(buffer) + L"mirvane-fs-" + std::to_wstring(GetCurrentProcessId()) +
                 L"-" + std::to_wstring(GetTickCount64());
    ASSERT_TRUE(CreateDirectoryW(directory_.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(directory_.c_str()));
  }

  void TearDown() override {
    SetCurrentDirectoryW(previous_.c_str());
    RemoveAll(directory_);
  }

  static void RemoveAll(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveAll(path);
        } else {
          DeleteFileW(path.c_str());
        }
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
  }

  static void Make(const std::string& name, const std::string& content = "x",
                   DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    const HANDLE file = CreateFileW(Widen(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    SetFileAttributesW(Widen(name).c_str(), attributes);
  }

  static std::string Content(const std::string& name) {
    Win32FileSystem files;
    return files.ReadTextFile(name).value_or("<unreadable>");
  }

  // The names in the directory.
  std::vector<std::wstring> Entries() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((directory_ + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
  }

  Win32FileSystem files_;
  std::wstring previous_;
  std::wstring directory_;
};

// Ordinary, read-only and archived files count; hidden, system files and folders do
// not, alone or through a pattern; names no ANSI code page can spell work.
TEST_F(Win32FileSystemTest, OnlyOrdinaryVisibleFilesExist) {
  Make("plain.png");
  Make("readonly.png", "x", FILE_ATTRIBUTE_READONLY);
  Make("archived.png", "x", FILE_ATTRIBUTE_ARCHIVE);
  Make("hidden.png", "x", FILE_ATTRIBUTE_HIDDEN);
  Make("system.png", "x", FILE_ATTRIBUTE_SYSTEM);
  Make("hidden-only.gif", "x", FILE_ATTRIBUTE_HIDDEN);
  Make("画像-Ω-😀 blank.jpg");
  ASSERT_TRUE(CreateDirectoryW(L"folder.png", nullptr));
  ASSERT_TRUE(CreateDirectoryW(L"sub", nullptr));
  Make("sub\\inner.bmp");

  const std::vector<std::pair<std::string, bool>> rows = {
      {"plain.png", true},
      {"PLAIN.PNG", true},  // names are not case-sensitive
      {"readonly.png", true},
      {"archived.png", true},
      {"hidden.png", false},
      {"system.png", false},
      {"folder.png", false},
      {"missing.png", false},
      {"", false},
      {"画像-Ω-😀 blank.jpg", true},
      {"sub\\inner.bmp", true},
      {"sub/inner.bmp", true},
      {"*.png", true},  // matches plain.png
      {"p?ain.png", true},
      {"*.gif", false},  // only a hidden file matches
      {"folder.*", false},
      {"*.jpg", true},
      {"[p]lain.png", false},  // brackets are no pattern here
      {std::string("plain.png\0x", 11), false},
  };
  for (const auto& [name, exists] : rows) EXPECT_EQ(files_.FileExists(name), exists) << name;

  const std::string absolute = Narrow(directory_) + "\\plain.png";
  EXPECT_TRUE(files_.FileExists(absolute));
}

TEST_F(Win32FileSystemTest, WritesReplaceTheFileWholeAndReadBackTheSameBytes) {
  const std::string first = "Loop=False\r\nInterval=2000\r\nRotate=False\r\n";
  const std::string second = "Loop=True\r\nInterval=750\r\nRotate=True\r\n";
  ASSERT_TRUE(files_.WriteTextFile("Mirvane.ini", first));
  EXPECT_EQ(Content("Mirvane.ini"), first);
  ASSERT_TRUE(files_.WriteTextFile("Mirvane.ini", second));
  EXPECT_EQ(Content("Mirvane.ini"), second);
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L"Mirvane.ini"});  // no temporary left
  ASSERT_TRUE(files_.WriteTextFile("Mirvane.ini", ""));
  EXPECT_EQ(Content("Mirvane.ini"), "");
}

TEST_F(Win32FileSystemTest, ReadOnlyAndFolderTargetsAreLeftAlone) {
  Make("Mirvane.ini", "Interval=500\r\n", FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(files_.WriteTextFile("Mirvane.ini", "Loop=True\r\n"));
  EXPECT_EQ(Content("Mirvane.ini"), "Interval=500\r\n");
  EXPECT_NE(GetFileAttributesW(L"Mirvane.ini") & FILE_ATTRIBUTE_READONLY, 0u);

  ASSERT_TRUE(CreateDirectoryW(L"folder.ini", nullptr));
  EXPECT_FALSE(files_.WriteTextFile("folder.ini", "x"));
  EXPECT_EQ(Entries().size(), 2u);  // nothing beside them
}

TEST_F(Win32FileSystemTest, HiddenTargetStaysHiddenWhenRewritten) {
  Make("Mirvane.ini", "old", FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(files_.WriteTextFile("Mirvane.ini", "new"));
  EXPECT_EQ(Content("Mirvane.ini"), "new");
  EXPECT_NE(GetFileAttributesW(L"Mirvane.ini") & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(Win32FileSystemTest, ReadingRefusesWhatIsNoRegularFile) {
  ASSERT_TRUE(CreateDirectoryW(L"folder", nullptr));
  EXPECT_FALSE(files_.ReadTextFile("folder").has_value());
  EXPECT_FALSE(files_.ReadTextFile("missing.ini").has_value());
  EXPECT_FALSE(files_.ReadTextFile("").has_value());
  EXPECT_FALSE(files_.ReadTextFile("CON").has_value());
  EXPECT_FALSE(files_.ReadTextFile("NUL").has_value());
  Make("big.ini", std::string((1 << 20) + 1, 'x'));
  EXPECT_FALSE(files_.ReadTextFile("big.ini").has_value());
}

}  // namespace
}  // namespace mirvane::platform::win32
