#pragma once

#include <QLineEdit>
#include <QPointer>
#include <string>

#include "platform/text_box.h"

namespace mirvane::platform::qt {

// platform::TextBox over a QLineEdit it does not own. Once the line edit is gone the
// box holds the empty text and ignores writes.
class QtTextBox final : public platform::TextBox {
 public:
  explicit QtTextBox(QLineEdit* edit = nullptr) : edit_(edit) {}

  std::string Text() const override;
  void Text(const std::string& text) override;

  void Attach(QLineEdit* edit) { edit_ = edit; }

 private:
  QPointer<QLineEdit> edit_;
};

}  // namespace mirvane::platform::qt
