#pragma once

#include <cstdint>

#include "platform/win32/win32.h"

namespace mirvane::platform::win32 {

// The classic button code of a button-down message: 1 left, 2 right, 4 middle.
inline std::int16_t ButtonCode(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
      return 1;
    case WM_RBUTTONDOWN:
      return 2;
    case WM_MBUTTONDOWN:
      return 4;
    default:
      return 0;
  }
}

// The classic shift state: 1 Shift, 2 Ctrl, 4 Alt.
inline std::int16_t ShiftCode(WPARAM keys) {
  return static_cast<std::int16_t>(((keys & MK_SHIFT) ? 1 : 0) | ((keys & MK_CONTROL) ? 2 : 0) |
                                   (GetKeyState(VK_MENU) < 0 ? 4 : 0));
}

}  // namespace mirvane::platform::win32
