#pragma once

#include "platform/win32/win32.h"

namespace mirvane::platform::win32 {

// What a window class looks like; registered once per name.
struct WindowClass {
  const wchar_t* name;
  HBRUSH background = nullptr;
  HICON icon = nullptr;
  HICON small_icon = nullptr;
  HCURSOR cursor = nullptr;  // null: the arrow
};

// A window of our own: one static procedure finds the object behind the handle and
// hands each message to its HandleMessage. The window goes with the object.
class NativeWindow {
 public:
  NativeWindow(const NativeWindow&) = delete;
  NativeWindow& operator=(const NativeWindow&) = delete;

  HWND Handle() const { return hwnd_; }

 protected:
  NativeWindow() = default;
  virtual ~NativeWindow();

  // Registers the class if needed and creates the window; throws Error on failure.
  void Create(const WindowClass& window_class, DWORD ex_style, DWORD style, const wchar_t* title,
              RECT bounds, HWND parent);
  // Destroys the window now; safe to repeat.
  void Destroy();
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  HWND hwnd_ = nullptr;
};

}  // namespace mirvane::platform::win32
