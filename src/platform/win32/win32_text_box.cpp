#include "platform/win32/win32_text_box.h"

#include "platform/error.h"
#include "platform/win32/text.h"

namespace mirvane::platform::win32 {

void Win32TextBox::Attach(HWND edit) { edit_ = edit; }

std::string Win32TextBox::Text() const {
  if (edit_ == nullptr) return {};
  const int length = GetWindowTextLengthW(edit_);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(edit_, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return Narrow(text);
}

void Win32TextBox::Text(const std::string& text) {
  if (edit_ == nullptr) return;
  SetWindowTextW(edit_, Widen(text).c_str());
}

HWND CreateEdit(HWND parent, DWORD style, RECT bounds, int id) {
  const HWND edit = CreateWindowExW(
      WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | ES_LEFT | ES_AUTOHSCROLL | style, bounds.left,
      bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (edit == nullptr) throw Error("cannot create a text box");
  SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);  // 0: as much as the system allows
  return edit;
}

}  // namespace mirvane::platform::win32
