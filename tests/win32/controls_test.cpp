#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/text.h"
#include "platform/win32/win32_interval_dialog.h"
#include "platform/win32/win32_popup_menu.h"

namespace mirvane::platform::win32 {
namespace {

// The dialog's side of the hand-over, recorded; OK and Cancel close it as the core does.
class Events final : public IntervalDialogEvents {
 public:
  explicit Events(Win32IntervalDialog& dialog) : dialog_(dialog) {}
  void Form_Load() override {
    log.push_back("Form_Load");
    dialog_.TimerInterval().Text("2000");
    if (on_load) on_load();
  }
  void OK_Click() override {
    if (on_click) on_click();
    log.push_back("OK_Click " + dialog_.TimerInterval().Text());
    dialog_.Unload();
  }
  void Cancel_Click() override {
    if (on_click) on_click();
    log.push_back("Cancel_Click");
    dialog_.Unload();
  }

  std::vector<std::string> log;
  std::function<void()> on_load;
  std::function<void()> on_click;

 private:
  Win32IntervalDialog& dialog_;
};

void Key(HWND to, WPARAM key) {
  PostMessageW(to, WM_KEYDOWN, key, 1);
  PostMessageW(to, WM_KEYUP, key, 0xC0000001);
}

RECT ClientRectOf(HWND control, HWND parent) {
  RECT at{};
  GetWindowRect(control, &at);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&at), 2);
  return at;
}

class IntervalDialogTest : public testing::Test {
 protected:
  Win32IntervalDialog dialog_;
  Events events_{dialog_};
};

TEST_F(IntervalDialogTest, EnterPressesOkAndEscCancel) {
  for (const auto& [key, expected] : std::vector<std::pair<WPARAM, std::string>>{
           {VK_RETURN, "OK_Click 2000"}, {VK_ESCAPE, "Cancel_Click"}}) {
    events_.log.clear();
    const WPARAM pressed = key;
    events_.on_load = [this, pressed] {
      Key(dialog_.Control(Win32IntervalDialog::kTimerInterval), pressed);
    };
    dialog_.Show(events_);
    EXPECT_EQ(events_.log, (std::vector<std::string>{"Form_Load", expected}));
    EXPECT_EQ(dialog_.Handle(), nullptr);  // destroyed on closing
    EXPECT_EQ(dialog_.TimerInterval().Text(), "");
  }
}

TEST_F(IntervalDialogTest, TheTitleBarCloseRaisesNothing) {
  events_.on_load = [this] { PostMessageW(dialog_.Handle(), WM_CLOSE, 0, 0); };
  dialog_.Show(events_);
  EXPECT_EQ(events_.log, std::vector<std::string>{"Form_Load"});
}

TEST_F(IntervalDialogTest, ControlsSitAtTheirTwipPositionsInTabOrder) {
  std::vector<std::string> found;
  events_.on_load = [&] {
    const HWND window = dialog_.Handle();
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 239);  // 3585 x 1155 twips at 96 dpi
    EXPECT_EQ(client.bottom, 77);
    const struct {
      int id;
      RECT at;
    } rows[] = {{Win32IntervalDialog::kTimerInterval, {16, 40, 129, 58}},
                {Win32IntervalDialog::kLabel1, {16, 8, 137, 33}},
                {IDCANCEL, {152, 40, 225, 57}},
                {IDOK, {152, 16, 225, 33}}};
    for (const auto& row : rows) {
      const RECT at = ClientRectOf(dialog_.Control(row.id), window);
      EXPECT_EQ(at.left, row.at.left) << row.id;
      EXPECT_EQ(at.top, row.at.top) << row.id;
      EXPECT_EQ(at.right, row.at.right) << row.id;
      EXPECT_EQ(at.bottom, row.at.bottom) << row.id;
    }
    const HWND edit = dialog_.Control(Win32IntervalDialog::kTimerInterval);
    const HWND cancel = GetNextDlgTabItem(window, edit, FALSE);
    EXPECT_EQ(cancel, dialog_.Control(IDCANCEL));
    EXPECT_EQ(GetNextDlgTabItem(window, cancel, FALSE), dialog_.Control(IDOK));
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    EXPECT_EQ(Narrow(title), "タイマー設定");
    dialog_.Unload();
  };
  dialog_.Show(events_);
}

TEST_F(IntervalDialogTest, OwnerIsDisabledOnlyWhileOpen) {
  const HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
  dialog_.Owner(owner);
  bool owner_enabled_while_open = true;
  events_.on_load = [this] {
    Key(dialog_.Control(Win32IntervalDialog::kTimerInterval), VK_ESCAPE);
  };
  events_.on_click = [&] { owner_enabled_while_open = IsWindowEnabled(owner) != FALSE; };
  dialog_.Show(events_);
  EXPECT_FALSE(owner_enabled_while_open);
  EXPECT_TRUE(IsWindowEnabled(owner));
  DestroyWindow(owner);
}

TEST(Win32PopupMenu, EntriesSeparatorsAndCheckMarks) {
  Win32PopupMenu menu;
  menu.AddEntry(0, "タイマー設定");
  menu.AddEntry(1, "A&B");
  menu.AddEntry(2, "-");
  menu.AddEntry(1, "again");  // an id names one entry for good
  ASSERT_EQ(GetMenuItemCount(menu.Menu()), 3);
  wchar_t text[64] = {};
  GetMenuStringW(menu.Menu(), 0, text, 64, MF_BYPOSITION);
  EXPECT_EQ(Narrow(text), "タイマー設定");
  GetMenuStringW(menu.Menu(), 1, text, 64, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(text), L"A&&B");
  EXPECT_NE(GetMenuState(menu.Menu(), 2, MF_BYPOSITION) & MF_SEPARATOR, 0u);

  EXPECT_FALSE(menu.Checked(1));
  menu.Checked(1, true);
  EXPECT_TRUE(menu.Checked(1));
  EXPECT_NE(GetMenuState(menu.Menu(), 1, MF_BYPOSITION) & MF_CHECKED, 0u);
  menu.Checked(1, false);
  EXPECT_EQ(GetMenuState(menu.Menu(), 1, MF_BYPOSITION) & MF_CHECKED, 0u);
  menu.Checked(7, true);  // no such entry: nothing happens
  EXPECT_FALSE(menu.Checked(7));
}

}  // namespace
}  // namespace mirvane::platform::win32
