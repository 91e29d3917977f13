// Cost of the existence test with wildcards in a large directory: one listing per
// test, whatever the directory holds.
//   mirvane_file_exists_bench [ENTRIES]   (default 100000)

#include <fcntl.h>
#include <glob.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/posix_file_system.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Median of a few runs, in milliseconds.
template <typename F>
double MedianMs(F run, int runs = 7) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    run();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  std::string pattern = (fs::temp_directory_path() / "mirvane-exists-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path dir = pattern;
  for (int i = 0; i < entries; ++i) {
    const std::string name = (dir / ("photo-" + std::to_string(i) + ".jpg")).string();
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return 1;
    close(fd);
  }
  const std::string base = dir.string() + "/";
  mirvane::platform::posix::PosixFileSystem files;
  bool ok = true;
  const auto test = [&](const std::string& name, bool expected) {
    return MedianMs([&] { ok = files.FileExists(base + name) == expected && ok; });
  };
  std::printf("directory of %d files\n", entries);
  std::printf("  literal name, present         %8.3f ms\n", test("photo-7.jpg", true));
  std::printf("  literal name, absent          %8.3f ms\n", test("nothing.jpg", false));
  std::printf("  \"*.png\", no match (worst)     %8.3f ms\n", test("*.png", false));
  std::printf("  \"photo-%d.j?g\", one match    %8.3f ms\n", entries - 1,
              test("photo-" + std::to_string(entries - 1) + ".j?g", true));
  std::printf("  \"*.jpg\", every entry matches  %8.3f ms\n", test("*.jpg", true));
  // For comparison: glob(3) lists and sorts every match before the first can be used.
  const double globbed = MedianMs([&] {
    glob_t found{};
    glob((base + "*.jpg").c_str(), GLOB_NOESCAPE, nullptr, &found);
    globfree(&found);
  });
  std::printf("  glob(3) of \"*.jpg\", reference  %8.3f ms\n", globbed);
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  if (!ok) std::printf("WRONG RESULT\n");
  return ok ? 0 : 1;
}
