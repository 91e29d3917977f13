#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>
#include <string>
#include <vector>

#include "platform/qt/qt_popup_menu.h"
#include "qt_test_support.h"
#include "viewer/menu_entries.h"

namespace mirvane::platform::qt {
namespace {

using testing::WhenShown;
using namespace mirvane::viewer;

class QtPopupMenuTest : public ::testing::Test {
 protected:
  QtPopupMenuTest() {
    BuildMenu(menu_);
    menu_.OnChoose([this](int id) { chosen_.push_back(id); });
  }

  // Opens the menu and clicks the entry `id` from the menu's own event loop.
  void Choose(int id) {
    WhenShown<QMenu>([this, id](QMenu& open) {
      const QPoint at = open.actionGeometry(menu_.Action(id)).center();
      QTest::mouseClick(&open, Qt::LeftButton, {}, at);
    });
    const testing::HangGuard guard;
    menu_.Popup();
  }

  QtPopupMenu menu_;
  std::vector<int> chosen_;
};

TEST_F(QtPopupMenuTest, HoldsTheElevenEntriesInOrder) {
  const std::vector<std::string> captions = {
      "タイマー設定", "画像ループ",  "自動回転", "-",   "前の画像", "次の画像", "-",
      "ちょっと説明", "ﾊﾞｰｼﾞｮﾝ情報", "-",        "終了"};
  const QList<QAction*> actions = menu_.Menu().actions();
  ASSERT_EQ(actions.size(), 11);
  int separators = 0;
  for (int id = 0; id < 11; ++id) {
    SCOPED_TRACE(id);
    QAction* action = actions[id];
    EXPECT_EQ(menu_.Action(id), action);
    if (captions[id] == "-") {
      ++separators;
      EXPECT_TRUE(action->isSeparator());
    } else {
      EXPECT_FALSE(action->isSeparator());
      EXPECT_EQ(action->text().toStdString(), captions[id]);
      EXPECT_TRUE(action->shortcut().isEmpty());
      EXPECT_FALSE(action->isChecked());
      EXPECT_FALSE(menu_.Checked(id));
    }
  }
  EXPECT_EQ(separators, 3);
}

TEST(QtPopupMenu, AmpersandIsShownAndMarksNoAccessKey) {
  QtPopupMenu menu;
  menu.AddEntry(0, "A&B");
  EXPECT_EQ(menu.Action(0)->text(), QStringLiteral("A&&B"));
}

TEST_F(QtPopupMenuTest, ChoosingRaisesTheHandlerOnceWithTheId) {
  for (const int id : {SMenu_Timer, SMenu_NextImage, SMenu_End}) {
    chosen_.clear();
    Choose(id);
    EXPECT_EQ(chosen_, std::vector<int>{id});
    EXPECT_FALSE(menu_.Menu().isVisible());
  }
}

// Qt would flip a checkable entry on its own; only the core's handler may.
TEST_F(QtPopupMenuTest, ChoosingACheckedEntryLeavesItsStateToTheHandler) {
  menu_.Checked(SMenu_Loop, true);
  Choose(SMenu_Loop);
  EXPECT_EQ(chosen_, std::vector<int>{SMenu_Loop});
  EXPECT_TRUE(menu_.Checked(SMenu_Loop));
  EXPECT_TRUE(menu_.Action(SMenu_Loop)->isChecked());

  menu_.OnChoose([this](int id) { menu_.Checked(id, !menu_.Checked(id)); });
  Choose(SMenu_Loop);
  EXPECT_FALSE(menu_.Checked(SMenu_Loop));
  EXPECT_FALSE(menu_.Action(SMenu_Loop)->isChecked());
  Choose(SMenu_Loop);
  EXPECT_TRUE(menu_.Checked(SMenu_Loop));
  EXPECT_TRUE(menu_.Action(SMenu_Loop)->isChecked());

  menu_.Action(SMenu_Loop)->trigger();  // a trigger from elsewhere changes nothing either
  EXPECT_TRUE(menu_.Action(SMenu_Loop)->isChecked());
}

TEST_F(QtPopupMenuTest, ClosingWithoutChoiceRaisesNothing) {
  const testing::HangGuard guard;
  WhenShown<QMenu>([](QMenu& open) { QTest::keyClick(&open, Qt::Key_Escape); });
  menu_.Popup();
  EXPECT_TRUE(chosen_.empty());
}

}  // namespace
}  // namespace mirvane::platform::qt
