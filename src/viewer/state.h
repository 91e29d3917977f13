#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace mirvane::viewer {

// Names the list holds at most; index 0 of FileList is never used.
inline constexpr std::int16_t kListCapacity = 1000;

// What the handlers last read or set of the loop and rotation check marks and of the
// window's outer size (twips). Kept only to tell the platform what comes next, so that
// doing so reads nothing.
struct Outlook {
  bool loop = false;
  bool rotate = false;
  float width = 0;
  float height = 0;
};

// The main window's state; zero or empty at creation.
struct LumivoState {
  std::array<std::string, kListCapacity + 1> FileList{};
  std::int16_t FileCount = 0;     // 0 to 1000
  std::int16_t CurrentIndex = 0;  // name last taken, 0 to FileCount; 0: none yet
  std::uint16_t Interval = 0;     // milliseconds, 1 to 65535 once loaded
  std::uint8_t BackIndex = 0;     // the hidden slot, which receives the next picture
  // Set only when a looping wrap put CurrentIndex back to 0 with the last name on
  // view, so that Previous can tell that from a list not yet started.
  bool WrappedToStart = false;
  Outlook Seen;
};

}  // namespace mirvane::viewer
