#include "platform/win32/native_window.h"

#include <exception>
#include <string>

#include "platform/error.h"

namespace mirvane::platform::win32 {

NativeWindow::~NativeWindow() { Destroy(); }

void NativeWindow::Create(const WindowClass& window_class, DWORD ex_style, DWORD style,
                          const wchar_t* title, RECT bounds, HWND parent) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExW(instance, window_class.name, &existing)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    // No CS_DBLCLKS: a quick second press must come as a press, not a double click.
    wc.style = 0;
    wc.lpfnWndProc = &NativeWindow::Procedure;
    wc.hInstance = instance;
    wc.hIcon = window_class.icon;
    wc.hIconSm = window_class.small_icon;
    wc.hCursor = window_class.cursor != nullptr ? window_class.cursor
                                                : LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = window_class.background;
    wc.lpszClassName = window_class.name;
    if (RegisterClassExW(&wc) == 0) throw Error("cannot register a window class");
  }
  const HWND hwnd = CreateWindowExW(ex_style, window_class.name, title, style, bounds.left,
                                    bounds.top, bounds.right - bounds.left,
                                    bounds.bottom - bounds.top, parent, nullptr, instance, this);
  if (hwnd == nullptr) {
    throw Error("cannot create a window (error " + std::to_string(GetLastError()) + ")");
  }
}

void NativeWindow::Destroy() {
  if (hwnd_ == nullptr) return;
  // Messages sent while it goes no longer reach this object, which may be half gone.
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  const HWND hwnd = hwnd_;
  hwnd_ = nullptr;
  DestroyWindow(hwnd);
}

LRESULT NativeWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

LRESULT CALLBACK NativeWindow::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<NativeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<NativeWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  // No exception may unwind through the system's frames; what the core does not catch
  // (a control that could not be created, memory) ends this message only.
  try {
    return self->HandleMessage(message, wparam, lparam);
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace mirvane::platform::win32
