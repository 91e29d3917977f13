#pragma once

#include "platform/text_box.h"

namespace mirvane::platform {

// What the interval dialog raises; implemented by the dialog's logic in the core.
class IntervalDialogEvents {
 public:
  virtual ~IntervalDialogEvents() = default;
  virtual void Form_Load() = 0;
  // The OK button or the Enter key.
  virtual void OK_Click() = 0;
  // The Cancel button or the Esc key.
  virtual void Cancel_Click() = 0;
};

// The modal interval dialog: created when shown, destroyed when closed.
class IntervalDialog {
 public:
  IntervalDialog() = default;
  IntervalDialog(const IntervalDialog&) = delete;
  IntervalDialog& operator=(const IntervalDialog&) = delete;
  virtual ~IntervalDialog() = default;

  // Creates the dialog, raises Form_Load, and runs it modally until Unload is
  // called or the user closes it through its title bar (which raises nothing).
  virtual void Show(IntervalDialogEvents& events) = 0;
  // The text box `TimerInterval`; only valid while the dialog is shown.
  virtual TextBox& TimerInterval() = 0;
  // Closes and destroys the dialog; Show then returns.
  virtual void Unload() = 0;
};

}  // namespace mirvane::platform
