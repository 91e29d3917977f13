#include "platform/qt/qt_text_box.h"

namespace mirvane::platform::qt {

std::string QtTextBox::Text() const {
  if (edit_.isNull()) return {};
  return edit_->text().toStdString();  // UTF-8
}

void QtTextBox::Text(const std::string& text) {
  if (edit_.isNull()) return;
  edit_->setText(QString::fromStdString(text));
}

}  // namespace mirvane::platform::qt
