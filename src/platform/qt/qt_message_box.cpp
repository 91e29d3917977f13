#include "platform/qt/qt_message_box.h"

#include <QMessageBox>

namespace mirvane::platform::qt {

QString LineBreaksToQt(const std::string& text) {
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      lines += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      lines += '\n';
    }
  }
  return QString::fromStdString(lines);
}

void QtMessageBox::MsgBox(const std::string& text, MessageKind kind, const std::string& title) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  if (kind == MessageKind::Exclamation) icon = QMessageBox::Warning;
  if (kind == MessageKind::Information) icon = QMessageBox::Information;
  QMessageBox box(icon, QString::fromStdString(title), LineBreaksToQt(text), QMessageBox::Ok,
                  parent_);
  // File names may look like markup; they are shown as they are.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace mirvane::platform::qt
