#pragma once

#include <functional>

#include "platform/win32/win32.h"

namespace mirvane::platform::win32 {

// Runs the thread's messages until `done` holds or `timeout_ms` has passed; whether
// `done` held.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

}  // namespace mirvane::platform::win32
