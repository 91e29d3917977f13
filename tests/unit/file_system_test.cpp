#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

// Counts every change of the umask in this process: the writer must leave it alone,
// since another thread creating a file meanwhile would get the changed one.
static std::atomic<int> umask_calls{0};
extern "C" mode_t umask(mode_t mask) {
  ++umask_calls;
  return static_cast<mode_t>(syscall(SYS_umask, mask));
}

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

// Pattern characters match within the last component only: the rest of the name
// is a directory taken as written, and nothing below it is searched.
TEST_F(PosixFileSystemTest, PatternsMatchInTheLastComponentOnly) {
  fs::create_directories("d1/deep/deeper");
  Make("d1/a.png");
  Make("d1/deep/deeper/b.png");
  fs::create_directory("*");
  Make("*/c.png");
  fs::create_directory("sub");
  fs::create_symlink("../d1/a.png", "sub/to-file.png");
  fs::create_symlink("../d1", "sub/to-dir.png");
  fs::create_symlink("nowhere", "sub/dangling.png");
  ExpectExists({{"d1/*.png", true},
                {"d1/?.png", true},
                {"*/a.png", false},
                {"d?/a.png", false},
                {"[d]1/a.png", false},
                {"*/*/*/*.png", false},
                {"d1/*/*/b.png", false},
                {"*/c.png", true},  // the directory "*" as written
                {"*/?.png", true},
                {"sub/to-f*", true},
                {"sub/to-d*", false},
                {"sub/dang*", false},
                {(directory_ / "d1" / "*.png").string(), true},
                {"no-such-dir/*.png", false},
                {"d1/", false},
                {"*", false}});  // only directories here
}

// The first ordinary match ends the search, whatever comes before or after it.
TEST_F(PosixFileSystemTest, PatternFindsTheOneOrdinaryFileAmongMany) {
  for (int i = 0; i < 40; ++i) {
    fs::create_directory("m" + std::to_string(i) + ".png");
    fs::create_symlink("nowhere", "n" + std::to_string(i) + ".png");
    Make(".h" + std::to_string(i) + ".png");
  }
  EXPECT_FALSE(files_.FileExists("*.png"));
  Make("m-real.png");
  EXPECT_TRUE(files_.FileExists("*.png"));
  EXPECT_TRUE(files_.FileExists("m*"));
  EXPECT_FALSE(files_.FileExists("n*"));
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

TEST_F(PosixFileSystemTest, NewFileGetsTheUmaskWithoutTheUmaskBeingChanged) {
  for (const mode_t mask : {022, 027, 077, 0}) {
    const mode_t old_mask = ::umask(mask);
    const int calls = umask_calls;
    const bool written = files_.WriteTextFile("Mirvane.ini", "x");
    EXPECT_EQ(umask_calls, calls) << "the writer changed the umask";
    ::umask(old_mask);
    ASSERT_TRUE(written);
    struct stat info {};
    ASSERT_EQ(stat("Mirvane.ini", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0666 & ~mask) << std::oct << mask;
    fs::remove("Mirvane.ini");
  }
}

TEST_F(PosixFileSystemTest, ReplacedFileKeepsItsModeAndOwner) {
  for (const mode_t mode : {0600, 0640, 0604, 0664, 0660, 0200, 0020}) {
    Make("Mirvane.ini", "old");
    ASSERT_EQ(chmod("Mirvane.ini", mode), 0);
    struct stat before {};
    ASSERT_EQ(stat("Mirvane.ini", &before), 0);
    const bool writable = geteuid() == 0 || (mode & S_IWUSR) != 0;
    EXPECT_EQ(files_.WriteTextFile("Mirvane.ini", "new"), writable) << std::oct << mode;
    struct stat after {};
    ASSERT_EQ(stat("Mirvane.ini", &after), 0);
    EXPECT_EQ(after.st_mode & 07777, mode) << std::oct << mode;
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    if (writable) {
      EXPECT_NE(after.st_ino, before.st_ino) << "replaced through a temporary file";
      ASSERT_EQ(chmod("Mirvane.ini", 0600), 0);
      EXPECT_EQ(Content("Mirvane.ini"), "new");
    }
    EXPECT_EQ(EntryCount(), 1u);
    fs::remove("Mirvane.ini");
  }
}

TEST_F(PosixFileSystemTest, ReplacedFileKeepsAnotherUsersOwnership) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a file away";
  Make("Mirvane.ini", "old");
  ASSERT_EQ(chown("Mirvane.ini", 4321, 4322), 0);
  ASSERT_EQ(chmod("Mirvane.ini", 0640), 0);
  ASSERT_TRUE(files_.WriteTextFile("Mirvane.ini", "new"));
  struct stat info {};
  ASSERT_EQ(stat("Mirvane.ini", &info), 0);
  EXPECT_EQ(info.st_uid, 4321u);
  EXPECT_EQ(info.st_gid, 4322u);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// No write bit at all is the read-only mark; root, which the permission bits do not
// stop, leaves such a file alone as well.
TEST_F(PosixFileSystemTest, FileWithoutAnyWriteBitIsNeverReplaced) {
  for (const mode_t mode : {0444, 0400, 0555, 0}) {
    Make("Mirvane.ini", "Loop=False\r\n");
    ASSERT_EQ(chmod("Mirvane.ini", mode), 0);
    struct stat before {};
    ASSERT_EQ(stat("Mirvane.ini", &before), 0);
    EXPECT_FALSE(files_.WriteTextFile("Mirvane.ini", "Loop=True\r\n")) << std::oct << mode;
    struct stat after {};
    ASSERT_EQ(stat("Mirvane.ini", &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, mode);
    ASSERT_EQ(chmod("Mirvane.ini", 0600), 0);
    EXPECT_EQ(Content("Mirvane.ini"), "Loop=False\r\n");
    EXPECT_EQ(EntryCount(), 1u);
    fs::remove("Mirvane.ini");
  }
}

// A directory that takes no new file (no write bit at all: root would not be
// stopped by it either) still lets a writable file be rewritten where it stands.
TEST_F(PosixFileSystemTest, FileInReadOnlyDirectoryIsRewrittenInPlace) {
  fs::create_directory("locked");
  Make("locked/Mirvane.ini", std::string(5000, 'z'));
  ASSERT_EQ(chmod("locked/Mirvane.ini", 0640), 0);
  struct stat before {};
  ASSERT_EQ(stat("locked/Mirvane.ini", &before), 0);
  ASSERT_EQ(chmod("locked", 0555), 0);
  const bool written = files_.WriteTextFile("locked/Mirvane.ini", "Loop=True\r\n");
  const bool new_file = files_.WriteTextFile("locked/other.ini", "x");
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("locked")) ++entries;
  ASSERT_EQ(chmod("locked", 0755), 0);
  EXPECT_TRUE(written);
  EXPECT_FALSE(new_file) << "nothing can be created there";
  EXPECT_EQ(entries, 1u);
  EXPECT_EQ(Content("locked/Mirvane.ini"), "Loop=True\r\n");
  struct stat after {};
  ASSERT_EQ(stat("locked/Mirvane.ini", &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
}

TEST_F(PosixFileSystemTest, SymbolicLinkIsWrittenThrough) {
  fs::create_directory("real");
  Make("real/settings.ini", "old");
  ASSERT_EQ(chmod("real/settings.ini", 0640), 0);
  fs::create_symlink("real/settings.ini", "Mirvane.ini");
  ASSERT_TRUE(files_.WriteTextFile("Mirvane.ini", "new"));
  EXPECT_TRUE(fs::is_symlink("Mirvane.ini"));
  EXPECT_EQ(Content("real/settings.ini"), "new");
  struct stat info {};
  ASSERT_EQ(stat("real/settings.ini", &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  fs::create_symlink("real/missing.ini", "dangling.ini");
  EXPECT_FALSE(files_.WriteTextFile("dangling.ini", "x")) << "a broken link is left as it is";
  EXPECT_TRUE(fs::is_symlink("dangling.ini"));
}

}  // namespace
}  // namespace mirvane::platform::posix
