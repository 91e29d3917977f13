#pragma once

#include "platform/interval_dialog.h"
#include "platform/win32/native_window.h"
#include "platform/win32/win32_text_box.h"

namespace mirvane::platform::win32 {

// The modal interval dialog: a window of its own with the four controls at their
// twip positions, run by its own loop through IsDialogMessageW so that Enter
// presses OK, Esc presses Cancel and Tab moves between the controls.
class Win32IntervalDialog final : public NativeWindow, public platform::IntervalDialog {
 public:
  // Control ids; Enter and Esc raise IDOK and IDCANCEL.
  enum : int { kTimerInterval = 100, kLabel1 = 101 };

  // `owner` is disabled while the dialog is open.
  void Owner(HWND owner) { owner_ = owner; }

  void Show(IntervalDialogEvents& events) override;
  TextBox& TimerInterval() override { return timer_interval_; }
  void Unload() override;

  // While shown: the dialog's control with `id`.
  HWND Control(int id) const { return GetDlgItem(Handle(), id); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void CreateControls(unsigned dpi);
  void RunModal();

  HWND owner_ = nullptr;
  IntervalDialogEvents* events_ = nullptr;
  Win32TextBox timer_interval_;
  HFONT font_ = nullptr;
  HFONT label_font_ = nullptr;
  HWND focus_ = nullptr;  // the control with the focus when the dialog was last active
  bool unloaded_ = false;
};

}  // namespace mirvane::platform::win32
