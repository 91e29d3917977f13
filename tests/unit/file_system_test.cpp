#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace mirvane::platform::posix {
namespace {

namespace fs = std::filesystem;

// Runs each test inside a fresh temporary directory, which it makes current.
class PosixFileSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "mirvane-fs-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    fs::current_path(directory_);
  }

  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
  }

  static void Make(const std::string& name, const std::string& content = "x") {
    std::ofstream(name, std::ios::binary) << content;
  }

  static std::string Content(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  void ExpectExists(const std::vector<std::pair<std::string, bool>>& rows) {
    for (const auto& [name, exists] : rows) EXPECT_EQ(files_.FileExists(name), exists) << name;
  }

  // How many names the directory holds.
  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(directory_), {}));
  }

  PosixFileSystem files_;
  fs::path previous_;
  fs::path directory_;
};

// A name stands for itself unless it holds a pattern that matches: no shell
// expansion, no escapes, no hidden files, directories, pipes or dangling links.
TEST_F(PosixFileSystemTest, OnlyOrdinaryVisibleFilesExist) {
  fs::create_directory("dir");
  for (const char* name : {"a.png", "dir/b.png", ".x", "dir/.x", "[1].png", "photo (2).jpg", "~",
                           "{a,b}.png", "back\\slash.png"})
    Make(name);
  ASSERT_EQ(mkfifo("pipe", 0600), 0);
  fs::create_symlink("a.png", "link.png");
  fs::create_symlink("missing.png", "dangling.png");
  ExpectExists({{"a.png", true},
                {"./a.png", true},
                {(directory_ / "a.png").string(), true},
                {"dir/b.png", true},
                {"link.png", true},
                {"dangling.png", false},
                {"dir", false},
                {"pipe", false},  // and does not block on it
                {".x", false},
                {"dir/.x", false},
                {"none.png", false},
                {"", false},
                {std::string("a.png\0b", 7), false},
                {"[1].png", true},
                {"photo (2).jpg", true},
                {"~", true},
                {"~/a.png", false},
                {"{a,b}.png", true},
                {"{a,x}.png", false},
                {"back\\slash.png", true},
                {"\\a.png", false}});  // the backslash escapes nothing
}

TEST_F(PosixFileSystemTest, PatternsMatch) {
  Make("a.png");
  Make("b.png");
  Make(".c.png");
  fs::create_directory("d.jpg");
  ExpectExists({{"*.png", true},
                {"?.png", true},
                {"[ab].png", true},
                {"[!a].png", true},
                {"[xy].png", false},
                {"??.png", false},
                {"*.gif", false},
                {"*.jpg", false},  // only a directory matches
                {".c*", false}});  // only a hidden file matches
}

TEST_F(PosixFileSystemTest, ReadTextFile) {
  Make("Mirvane.ini", std::string("Loop=True\r\n\0x", 13));
  fs::create_directory("dir");
  ASSERT_EQ(mkfifo("pipe", 0600), 0);
  Make("empty", "");

  EXPECT_EQ(files_.ReadTextFile("Mirvane.ini"), std::string("Loop=True\r\n\0x", 13));
  EXPECT_EQ(files_.ReadTextFile("empty"), "");
  EXPECT_EQ(files_.ReadTextFile("missing"), std::nullopt);
  EXPECT_EQ(files_.ReadTextFile("dir"), std::nullopt);
  EXPECT_EQ(files_.ReadTextFile("pipe"), std::nullopt);  // without blocking
}

TEST_F(PosixFileSystemTest, WriteTextFileWritesExactBytes) {
  const std::string content = "Loop=True\r\nInterval=2000\r\nRotate=False\r\n";
  ASSERT_TRUE(files_.WriteTextFile("Mirvane.ini", content));
  EXPECT_EQ(Content("Mirvane.ini"), content);
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(PosixFileSystemTest, WriteTextFileReplacesAndLeavesNoTemporaryFile) {
  Make("Mirvane.ini", std::string(5000, 'z'));
  ASSERT_TRUE(files_.WriteTextFile("Mirvane.ini", "short\r\n"));
  EXPECT_EQ(Content("Mirvane.ini"), "short\r\n");
  ASSERT_TRUE(files_.WriteTextFile("Mirvane.ini", ""));
  EXPECT_EQ(Content("Mirvane.ini"), "");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(PosixFileSystemTest, WriteTextFileFailsCleanly) {
  EXPECT_FALSE(files_.WriteTextFile("no-such-dir/Mirvane.ini", "x"));
  EXPECT_EQ(EntryCount(), 0u);

  fs::create_directory("Mirvane.ini");
  Make("Mirvane.ini/keep", "old");
  EXPECT_FALSE(files_.WriteTextFile("Mirvane.ini", "new"));
  EXPECT_TRUE(fs::is_directory("Mirvane.ini"));
  EXPECT_EQ(Content("Mirvane.ini/keep"), "old");
  EXPECT_EQ(EntryCount(), 1u);  // no temporary left beside it
}

TEST_F(PosixFileSystemTest, WrittenFileHasTheUsualMode) {
  const mode_t old_mask = umask(022);
  const bool written = files_.WriteTextFile("Mirvane.ini", "x");
  umask(old_mask);
  ASSERT_TRUE(written);
  struct stat info {};
  ASSERT_EQ(stat("Mirvane.ini", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

}  // namespace
}  // namespace mirvane::platform::posix
