#pragma once

#include <windowsx.h>

#include <cstdint>
#include <functional>

#include "platform/win32/twips.h"
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

// Button, shift state and position in twips, as the core's mouse-down handlers take them.
using MouseHandler = std::function<void(std::int16_t, std::int16_t, float, float)>;

// Passes a button-down message on to `handler`, if there is one.
inline void RaiseMouseDown(const MouseHandler& handler, UINT message, WPARAM wparam, LPARAM lparam,
                           unsigned dpi) {
  if (!handler) return;
  const double twips = TwipsPerPixel(dpi);
  handler(ButtonCode(message), ShiftCode(wparam), static_cast<float>(GET_X_LPARAM(lparam) * twips),
          static_cast<float>(GET_Y_LPARAM(lparam) * twips));
}

}  // namespace mirvane::platform::win32
