#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <string>

#include "platform/qt/qt_message_box.h"
#include "qt_test_support.h"

namespace mirvane::platform::qt {
namespace {

using testing::WhenShown;

TEST(LineBreaksToQt, TurnsEachCarriageReturnIntoOneBreak) {
  const struct {
    std::string text;
    QString shown;
  } cases[] = {
      {"", ""},
      {"one line", "one line"},
      {"a\rb\rc", "a\nb\nc"},
      {"a\r\nb", "a\nb"},
      {"a\r\rb", "a\n\nb"},
      {"\ra\r", "\na\n"},
      {"a\nb", "a\nb"},
      {"写真\r説明", QString::fromUtf8("写真\n説明")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LineBreaksToQt(c.text), c.shown);
  }
}

TEST(QtMessageBox, ShowsTextTitleIconAndOneOkButton) {
  const struct {
    MessageKind kind;
    QMessageBox::Icon icon;
  } cases[] = {{MessageKind::Exclamation, QMessageBox::Warning},
               {MessageKind::Information, QMessageBox::Information}};
  for (const auto& c : cases) {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    Qt::TextFormat format = Qt::AutoText;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
      text = box.text();
      title = box.windowTitle();
      icon = box.icon();
      for (const QAbstractButton* button : box.buttons()) buttons << button->text();
      format = box.textFormat();
      box.accept();
    });
    const testing::HangGuard guard;
    QtMessageBox().MsgBox("一行目。\r<b>二行目</b>。\r三行目。", c.kind, "ちょっと説明");
    EXPECT_EQ(text, QString::fromUtf8("一行目。\n<b>二行目</b>。\n三行目。"));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(title, QString::fromUtf8("ちょっと説明"));
    EXPECT_EQ(icon, c.icon);
    EXPECT_EQ(buttons, QStringList{QStringLiteral("OK")});
  }
}

}  // namespace
}  // namespace mirvane::platform::qt
