#pragma once

#include "platform/win32/win32.h"
// After windows.h, whose MessageBox macro win32.h takes back.
#include "platform/message_box.h"

namespace mirvane::platform::win32 {

// platform::MessageBox over MessageBoxW, owned by the thread's active window (the
// interval dialog while it is open) or else by the main window.
class Win32MessageBox final : public platform::MessageBox {
 public:
  void Owner(HWND owner) { owner_ = owner; }
  void MsgBox(const std::string& text, MessageKind kind, const std::string& title) override;

 private:
  HWND owner_ = nullptr;
};

}  // namespace mirvane::platform::win32
