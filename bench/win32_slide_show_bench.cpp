// The whole Win32 program's slide show timed from inside its message loop: from each tick
// of the show's timer to the new picture painted (no slot left with anything to paint), the
// longest the user-interface thread spends on one message, and the whole show at
// Interval=1, with and without pictures prepared ahead. Run it under Wine on a display.
//   mirvane_win32_slide_show_bench FOLDER [--whole-show]
#include <ole2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_viewer.h"
#include "stats.h"

namespace win32 = mirvane::platform::win32;

namespace {

class Names final : public mirvane::platform::CommandLine {
 public:
  explicit Names(std::string text) : text_(std::move(text)) {}
  std::string ArgumentText() const override { return text_; }

 private:
  std::string text_;
};

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

struct Run {
  std::vector<double> latency;  // tick to painted, per tick
  std::vector<double> busy;     // per message dispatched
  double whole = 0;             // first tick to last picture painted
};

bool NothingToPaint(win32::Win32Form& form) {
  for (int i = 0; i <= 1; ++i) {
    const HWND slot = form.Slot(i).Handle();
    if (IsWindowVisible(slot) && GetUpdateRect(slot, nullptr, FALSE)) return false;
  }
  return true;
}

// One show in a fresh working folder: `names` at `interval`, the client area at `size` (or
// the default), until `ticks` ticks have been painted or nothing has ticked for a while.
Run Show(const std::string& names, int interval, bool loop, std::optional<SIZE> size, bool ahead,
         int ticks) {
  const std::filesystem::path home = std::filesystem::current_path();
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("mirvane-bench-" + std::to_string(NowMs()));
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  std::ofstream(dir / "Mirvane.ini", std::ios::binary)
      << "Loop=" << (loop ? "True" : "False") << "\r\nInterval=" << interval
      << "\r\nRotate=False\r\n";
  Run run;
  {
    const Names command(names);
    win32::Win32Viewer viewer(command);
    viewer.PrepareAhead(ahead);
    viewer.Start();
    win32::Win32Form& form = viewer.Form();
    if (size) {
      RECT outer{0, 0, size->cx, size->cy};
      AdjustWindowRectEx(&outer, GetWindowLongW(form.Handle(), GWL_STYLE), FALSE,
                         GetWindowLongW(form.Handle(), GWL_EXSTYLE));
      SetWindowPos(form.Handle(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOZORDER | SWP_NOMOVE);
    }
    const HWND timer = form.Timer().Handle();
    std::vector<double> ticked, painted;
    bool waiting = false;
    double last = NowMs();
    MSG message{};
    while (static_cast<int>(painted.size()) < ticks && NowMs() - last < 3000.0 + interval) {
      if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        continue;
      }
      if (message.message == WM_QUIT) break;
      const double start = NowMs();
      if (message.message == WM_TIMER && message.hwnd == timer) {
        ticked.push_back(start);
        waiting = true;
        last = start;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
      const double end = NowMs();
      run.busy.push_back(end - start);
      if (waiting && NothingToPaint(form)) {
        painted.push_back(end);
        waiting = false;
      }
    }
    for (std::size_t i = 0; i < std::min(ticked.size(), painted.size()); ++i) {
      run.latency.push_back(painted[i] - ticked[i]);
    }
    if (!painted.empty()) run.whole = painted.back() - ticked.front();
  }
  std::filesystem::current_path(home);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return run;
}

void TickToPainted(const std::string& names, int count) {
  for (const bool ahead : {false, true}) {
    for (const auto& [label, size] :
         {std::pair<const char*, std::optional<SIZE>>{"default window", std::nullopt},
          {"1920x1080", SIZE{1920, 1080}}}) {
      const Run run = Show(names, 1500, true, size, ahead, 2 * count);
      const Stats l = Of(run.latency), b = Of(run.busy);
      std::printf(
          "%-14s %-11s ticks %2zu  tick->painted ms: median %6.1f p99 %6.1f max %6.1f  "
          "UI busy max %6.1f\n",
          label, ahead ? "prepared" : "on the spot", run.latency.size(), l.median, l.p99, l.max,
          b.max);
      std::fflush(stdout);
    }
  }
}

// The whole set at Interval=1, loop off; the two ways alternate so that other load weighs
// on both alike.
void WholeShow(const std::string& names, int count) {
  std::vector<double> wholes[2];
  for (int i = 0; i < 3; ++i) {
    for (const int ahead : {0, 1}) {
      wholes[ahead].push_back(Show(names, 1, false, std::nullopt, ahead == 1, count).whole);
    }
  }
  for (const int ahead : {0, 1}) {
    std::printf("Interval=1, whole show of %d pictures, %-11s: median of 3 %5.0f ms\n", count,
                ahead ? "prepared" : "on the spot", Of(wholes[ahead]).median);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: mirvane_win32_slide_show_bench FOLDER [--whole-show]\n");
    return 2;
  }
  if (FAILED(OleInitialize(nullptr))) return 1;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    const std::wstring ext = entry.path().extension().wstring();
    if (entry.is_regular_file() && (ext == L".jpg" || ext == L".png")) {
      files.push_back(std::filesystem::absolute(entry.path()));
    }
  }
  std::sort(files.begin(), files.end());
  std::string names;
  for (const auto& file : files)
    names += (names.empty() ? "" : " ") + win32::Narrow(file.wstring());
  const int count = static_cast<int>(files.size());
  if (count > 0) {
    if (argc < 3 || std::wstring(argv[2]) != L"--whole-show") TickToPainted(names, count);
    WholeShow(names, count);
  }
  OleUninitialize();
  return count > 0 ? 0 : 1;
}
