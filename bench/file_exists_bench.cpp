// Cost of the existence test with wildcards in a large directory: one listing per
// test, whatever the directory holds.
//   mirvane_file_exists_bench [ENTRIES]   (default 100000)

#include <fcntl.h>
#include <glob.h>
#include <unistd.h>

#include <time.h>

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

double CpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Cost {
  double wall_ms;
  double cpu_ms;  // unaffected by other processes on a busy machine
};

// Median of a few runs.
template <typename F>
Cost Median(F run, int runs = 7) {
  std::vector<double> walls;
  std::vector<double> cpus;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    const double cpu = CpuMs();
    run();
    cpus.push_back(CpuMs() - cpu);
    walls.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(walls.begin(), walls.end());
  std::sort(cpus.begin(), cpus.end());
  return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

void Print(const char* what, Cost cost) {
  std::printf("  %-34s %9.3f ms  (cpu %8.3f ms)\n", what, cost.wall_ms, cost.cpu_ms);
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
    return Median([&] { ok = files.FileExists(base + name) == expected && ok; });
  };
  std::printf("directory of %d files\n", entries);
  Print("literal name, present", test("photo-7.jpg", true));
  Print("literal name, absent", test("nothing.jpg", false));
  Print("\"*.png\", no match (the worst case)", test("*.png", false));
  const std::string last = "photo-" + std::to_string(entries - 1) + ".j?g";
  Print(("\"" + last + "\", one match").c_str(), test(last, true));
  Print("\"*.jpg\", every entry matches", test("*.jpg", true));
  // For comparison: glob(3) lists and sorts every match before the first can be used.
  Print("glob(3) of \"*.jpg\", reference", Median([&] {
          glob_t found{};
          glob((base + "*.jpg").c_str(), GLOB_NOESCAPE, nullptr, &found);
          globfree(&found);
        }));
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  if (!ok) std::printf("WRONG RESULT\n");
  return ok ? 0 : 1;
}
