#include "platform/win32/win32_message_box.h"

#include "platform/win32/text.h"

namespace mirvane::platform::win32 {

void Win32MessageBox::MsgBox(const std::string& text, MessageKind kind, const std::string& title) {
  UINT style = MB_OK;
  if (kind == MessageKind::Exclamation) style |= MB_ICONEXCLAMATION;
  if (kind == MessageKind::Information) style |= MB_ICONINFORMATION;
  // A box owned by a disabled window would enable it again when it closes: the main
  // window while the modal interval dialog is still open.
  HWND owner = GetActiveWindow();
  if (owner == nullptr) owner = owner_;
  MessageBoxW(owner, MessageLines(text).c_str(), Widen(title).c_str(), style);
}

}  // namespace mirvane::platform::win32
