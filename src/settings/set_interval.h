#pragma once

#include <cstdint>
#include <string_view>

#include "platform/interval_dialog.h"
#include "platform/message_box.h"
#include "platform/text_box.h"

namespace mirvane::settings {

// The interval dialog's logic. It exchanges the interval with the main window
// only as text, through the main window's hidden text box.
class SetInterval : public platform::IntervalDialogEvents {
 public:
  SetInterval(platform::IntervalDialog& dialog, platform::TextBox& argument,
              platform::MessageBox& box);

  // Copies the hidden text into the dialog's text box.
  void Form_Load() override;
  // Hands the text back and closes when its leading number is within 1 to 65535;
  // otherwise shows the range message and stays open.
  void OK_Click() override;
  // Closes without touching the hidden text.
  void Cancel_Click() override;

 private:
  platform::IntervalDialog& dialog_;
  platform::TextBox& argument_;
  platform::MessageBox& box_;
};

// The interval that text handed back by the dialog stands for. Text that is not a
// whole number (such as "750ms", which passed the range check on its leading
// number) gives its leading number rounded; the result is kept within 1 to 65535
// and falls back to `current` when there is none.
std::uint16_t IntervalFromText(std::string_view text, std::uint16_t current);

}  // namespace mirvane::settings
