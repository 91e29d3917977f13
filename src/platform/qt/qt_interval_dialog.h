#pragma once

#include <memory>

#include "platform/interval_dialog.h"
#include "platform/qt/qt_text_box.h"

class QDialog;
class QWidget;

namespace mirvane::platform::qt {

// platform::IntervalDialog: a fixed-size modal QDialog, built anew at each Show.
class QtIntervalDialog final : public platform::IntervalDialog {
 public:
  explicit QtIntervalDialog(QWidget* parent = nullptr);
  ~QtIntervalDialog() override;

  void Show(IntervalDialogEvents& events) override;
  // Outside Show the box holds the empty text and ignores writes.
  platform::TextBox& TimerInterval() override { return timer_interval_; }
  void Unload() override;

  // The dialog while it is shown, else nullptr.
  QDialog* Dialog() const { return dialog_.get(); }

 private:
  QWidget* parent_;
  std::unique_ptr<QDialog> dialog_;
  QtTextBox timer_interval_;
  bool unloaded_ = false;
};

}  // namespace mirvane::platform::qt
