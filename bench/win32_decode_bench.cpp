// Prints, per picture, the median of five runs from reading the file to the picture
// decoded and fitted in a slot of the default window (459 x 303 pixels) and of a
// 1920 x 1080 window (1912 x 1053), through the Win32 image slot's decoding (WIC and
// our own readers); then the median of 20 refusals of a 300 MB file that is no picture.
//   mirvane_win32_bench FOLDER
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "image/prepare.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_host.h"

namespace win32 = mirvane::platform::win32;

namespace {

double MedianMs(const std::string& name, mirvane::image::Size box) {
  std::vector<double> runs;
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    (void)mirvane::image::DecodeNow(name, box, win32::Win32Host());
    runs.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

// A slot's Render of a 300 MB file of text: how long until it is refused, the first time
// (which, before any picture, also gathers the system codecs' identifying patterns) and
// the median of 20.
std::pair<double, double> RefusalMs() {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "mirvane-bench-not-a-picture.txt";
  {
    std::ofstream out(path, std::ios::binary);
    std::string line(1 << 20, ' ');
    for (std::size_t i = 0; i < line.size(); i += 64) line.replace(i, 14, "not a picture\n");
    for (int i = 0; i < 300; ++i) out.write(line.data(), static_cast<std::streamsize>(line.size()));
  }
  const std::string name = win32::Narrow(path.wstring());
  std::vector<double> runs;
  for (int i = 0; i < 20; ++i) {
    const auto start = std::chrono::steady_clock::now();
    try {
      (void)mirvane::image::DecodeNow(name, {459, 303}, win32::Win32Host());
    } catch (const std::exception&) {
    }
    runs.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::filesystem::remove(path);
  const double first = runs.front();
  std::sort(runs.begin(), runs.end());
  return {first, runs[runs.size() / 2]};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: mirvane_win32_bench FOLDER\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::printf("%-28s %12s %12s  (ms, median of 5)\n", "picture", "459x303", "1912x1053");
    for (const auto& file : files) {
      const std::string name = win32::Narrow(file.wstring());
      try {
        const double small = MedianMs(name, {459, 303});
        const double large = MedianMs(name, {1912, 1053});
        std::printf("%-28s %12.0f %12.0f\n", win32::Narrow(file.filename().wstring()).c_str(),
                    small, large);
      } catch (const std::exception& e) {
        std::printf("%-28s not shown: %s\n", win32::Narrow(file.filename().wstring()).c_str(),
                    e.what());
      }
    }
    const auto [first, median] = RefusalMs();
    std::printf("300 MB non-picture refused in %.2f ms (median of 20; the first %.2f ms)\n", median,
                first);
  }
  CoUninitialize();
  return 0;
}
