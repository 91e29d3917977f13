#pragma once

#include <QString>
#include <string>

#include "platform/message_box.h"

class QWidget;

namespace mirvane::platform::qt {

// platform::MessageBox as a modal QMessageBox with one OK button, centred on `parent`.
class QtMessageBox final : public platform::MessageBox {
 public:
  explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}

  void MsgBox(const std::string& text, MessageKind kind, const std::string& title) override;

 private:
  QWidget* parent_;
};

// The core's lines are joined by a lone carriage return; Qt breaks lines at a line
// feed. A carriage return with its line feed is one break too.
QString LineBreaksToQt(const std::string& text);

}  // namespace mirvane::platform::qt
