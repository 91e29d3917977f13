#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

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

  // How many names the directory holds.
  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(directory_), {}));
  }

  PosixFileSystem files_;
  fs::path previous_;
  fs::path directory_;
};

TEST_F(PosixFileSystemTest, OnlyOrdinaryVisibleFilesExist) {
  Make("a.png");
  fs::create_directory("dir");
  Make("dir/b.png");
  Make(".x");
  Make("dir/.x");
  ASSERT_EQ(mkfifo("pipe", 0600), 0);
  fs::create_symlink("a.png", "link.png");
  fs::create_symlink("missing.png", "dangling.png");

  EXPECT_TRUE(files_.FileExists("a.png"));
  EXPECT_TRUE(files_.FileExists("./a.png"));
  EXPECT_TRUE(files_.FileExists((directory_ / "a.png").string()));
  EXPECT_TRUE(files_.FileExists("dir/b.png"));
  EXPECT_TRUE(files_.FileExists("link.png"));
  EXPECT_FALSE(files_.FileExists("dangling.png"));
  EXPECT_FALSE(files_.FileExists("dir"));
  EXPECT_FALSE(files_.FileExists("pipe"));  // and does not block on it
  EXPECT_FALSE(files_.FileExists(".x"));
  EXPECT_FALSE(files_.FileExists("dir/.x"));
  EXPECT_FALSE(files_.FileExists("none.png"));
  EXPECT_FALSE(files_.FileExists(""));
  EXPECT_FALSE(files_.FileExists(std::string("a.png\0b", 7)));
}

TEST_F(PosixFileSystemTest, PatternsMatch) {
  Make("a.png");
  Make("b.png");
  Make(".c.png");
  fs::create_directory("d.jpg");

  EXPECT_TRUE(files_.FileExists("*.png"));
  EXPECT_TRUE(files_.FileExists("?.png"));
  EXPECT_TRUE(files_.FileExists("[ab].png"));
  EXPECT_TRUE(files_.FileExists("[!a].png"));
  EXPECT_FALSE(files_.FileExists("[xy].png"));
  EXPECT_FALSE(files_.FileExists("??.png"));
  EXPECT_FALSE(files_.FileExists("*.gif"));
  EXPECT_FALSE(files_.FileExists("*.jpg"));  // only a directory matches
  EXPECT_FALSE(files_.FileExists(".c*"));    // only a hidden file matches
}

// A name with pattern characters that stands for an existing file literally.
TEST_F(PosixFileSystemTest, LiteralNameWithBracketsExists) {
  Make("[1].png");
  Make("photo (2).jpg");
  EXPECT_TRUE(files_.FileExists("[1].png"));
  EXPECT_TRUE(files_.FileExists("photo (2).jpg"));
}

TEST_F(PosixFileSystemTest, NoShellExpansion) {
  Make("a.png");
  Make("~");
  Make("{a,b}.png");
  Make("back\\slash.png");
  EXPECT_TRUE(files_.FileExists("~"));
  EXPECT_FALSE(files_.FileExists("~/a.png"));
  EXPECT_TRUE(files_.FileExists("{a,b}.png"));
  EXPECT_FALSE(files_.FileExists("{a,x}.png"));
  EXPECT_TRUE(files_.FileExists("back\\slash.png"));
  EXPECT_FALSE(files_.FileExists("\\a.png"));  // the backslash escapes nothing
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
