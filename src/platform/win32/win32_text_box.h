#pragma once

#include "platform/text_box.h"
#include "platform/win32/win32.h"

namespace mirvane::platform::win32 {

// platform::TextBox over an EDIT control; holds nothing when no control is attached.
class Win32TextBox final : public platform::TextBox {
 public:
  // The control to read and write; null detaches.
  void Attach(HWND edit);

  std::string Text() const override;
  void Text(const std::string& text) override;

 private:
  HWND edit_ = nullptr;
};

// A hidden EDIT child of `parent`, without the classic 30000-character limit.
HWND CreateEdit(HWND parent, DWORD style, RECT bounds, int id);

}  // namespace mirvane::platform::win32
