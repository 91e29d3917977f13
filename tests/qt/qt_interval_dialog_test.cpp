#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "platform/qt/qt_interval_dialog.h"
#include "qt_test_support.h"

namespace mirvane::platform::qt {
namespace {

using testing::WhenShown;

// Records what the dialog raises; OK closes only when `accept_ok` says so, as the
// core's range check would.
class RecordingEvents final : public platform::IntervalDialogEvents {
 public:
  explicit RecordingEvents(QtIntervalDialog& dialog) : dialog_(dialog) {}

  void Form_Load() override {
    log.push_back("load");
    dialog_.TimerInterval().Text("2000");
  }
  void OK_Click() override {
    log.push_back("ok:" + dialog_.TimerInterval().Text());
    if (accept_ok) dialog_.Unload();
  }
  void Cancel_Click() override {
    log.push_back("cancel:" + dialog_.TimerInterval().Text());
    dialog_.Unload();
  }

  std::vector<std::string> log;
  bool accept_ok = true;

 private:
  QtIntervalDialog& dialog_;
};

class QtIntervalDialogTest : public ::testing::Test {
 protected:
  // Runs `act` on the open dialog, then shows it until it closes.
  void ShowAnd(std::function<void(QDialog&)> act) {
    WhenShown<QDialog>(std::move(act));
    const testing::HangGuard guard;
    dialog_.Show(events_);
    EXPECT_EQ(dialog_.Dialog(), nullptr) << "destroyed once closed";
  }

  static QLineEdit& Edit(QDialog& d) { return *d.findChild<QLineEdit*>("TimerInterval"); }

  QtIntervalDialog dialog_;
  RecordingEvents events_{dialog_};
};

TEST_F(QtIntervalDialogTest, OpensWithItsControlsInPlaceAndFocusInTheTextBox) {
  struct Placed {
    const char* name;
    QRect pixels;  // at 96 dpi, 15 twips a pixel
  };
  const Placed placed[] = {{"TimerInterval", {16, 40, 113, 18}},
                           {"Label1", {16, 8, 121, 25}},
                           {"Cancel", {152, 40, 73, 17}},
                           {"OK", {152, 16, 73, 17}}};
  ShowAnd([&](QDialog& d) {
    EXPECT_EQ(d.logicalDpiX(), 96);
    EXPECT_EQ(d.windowTitle(), QString::fromUtf8("タイマー設定"));
    EXPECT_EQ(d.size(), QSize(239, 77));
    EXPECT_EQ(d.minimumSize(), d.maximumSize());
    for (const Placed& p : placed) {
      SCOPED_TRACE(p.name);
      const QWidget* w = d.findChild<QWidget*>(p.name);
      EXPECT_EQ(w != nullptr ? w->geometry() : QRect(), p.pixels);
    }
    const auto* label = d.findChild<QLabel*>("Label1");
    EXPECT_EQ(label->text(), QString::fromUtf8("画像を表示する時間間隔をミリ秒で指定する。"));
    EXPECT_TRUE(label->wordWrap());
    EXPECT_TRUE(d.findChild<QPushButton*>("OK")->isDefault());
    EXPECT_EQ(d.findChild<QPushButton*>("Cancel")->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(d.focusWidget(), &Edit(d));
    EXPECT_EQ(Edit(d).text(), QStringLiteral("2000")) << "Form_Load ran before it was shown";
    // Tab order: the text box, Cancel, OK.
    auto* next = Edit(d).nextInFocusChain();
    while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
    EXPECT_EQ(next, d.findChild<QWidget*>("Cancel"));
    next = next->nextInFocusChain();
    while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
    EXPECT_EQ(next, d.findChild<QWidget*>("OK"));
    QTest::keyClick(&Edit(d), Qt::Key_Escape);
  });
  EXPECT_EQ(events_.log, (std::vector<std::string>{"load", "cancel:2000"}));
}

TEST_F(QtIntervalDialogTest, EnterInTheTextBoxActsAsOk) {
  events_.accept_ok = false;
  ShowAnd([&](QDialog& d) {
    Edit(d).selectAll();
    QTest::keyClicks(&Edit(d), "0");
    QTest::keyClick(&Edit(d), Qt::Key_Return);
    EXPECT_TRUE(d.isVisible()) << "OK_Click kept it open";
    events_.accept_ok = true;
    QTest::keyClick(&Edit(d), Qt::Key_Backspace);
    QTest::keyClicks(&Edit(d), "750");
    QTest::keyClick(&Edit(d), Qt::Key_Enter);
  });
  EXPECT_EQ(events_.log, (std::vector<std::string>{"load", "ok:0", "ok:750"}));
}

TEST_F(QtIntervalDialogTest, ButtonsRaiseTheirEvents) {
  ShowAnd(
      [](QDialog& d) { QTest::mouseClick(d.findChild<QPushButton*>("Cancel"), Qt::LeftButton); });
  ShowAnd([](QDialog& d) { QTest::mouseClick(d.findChild<QPushButton*>("OK"), Qt::LeftButton); });
  EXPECT_EQ(events_.log, (std::vector<std::string>{"load", "cancel:2000", "load", "ok:2000"}));
}

TEST_F(QtIntervalDialogTest, TitleBarCloseRaisesNothing) {
  ShowAnd([](QDialog& d) { d.close(); });
  EXPECT_EQ(events_.log, std::vector<std::string>{"load"});
}

// A dialog unloaded while loading never runs modally.
TEST(QtIntervalDialog, UnloadDuringLoadReturnsAtOnce) {
  QtIntervalDialog dialog;
  struct : platform::IntervalDialogEvents {
    QtIntervalDialog* dialog = nullptr;
    void Form_Load() override { dialog->Unload(); }
    void OK_Click() override {}
    void Cancel_Click() override {}
  } events;
  events.dialog = &dialog;
  const testing::HangGuard guard;
  dialog.Show(events);
  EXPECT_EQ(dialog.Dialog(), nullptr);
}

}  // namespace
}  // namespace mirvane::platform::qt
