#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "expected_texts.h"
#include "fakes.h"
#include "settings/set_interval.h"
#include "viewer/commands.h"
#include "viewer/lumivo.h"
#include "viewer/menu_entries.h"

namespace mirvane::viewer {
namespace {

using Entries = std::vector<std::string>;
using fakes::DialogAction;

// A loaded window without a command line: Interval 2000, nothing checked.
class MenuTest : public testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<Lumivo>(rig_.Controls());
    window_->Form_Load();
    rig_.log.Clear();
  }
  std::string File() { return rig_.files.contents["Mirvane.ini"]; }
  static std::string FileWith(bool loop, int interval, bool rotate) {
    return std::string("Loop=") + (loop ? "True" : "False") +
           "\r\nInterval=" + std::to_string(interval) +
           "\r\nRotate=" + (rotate ? "True" : "False") + "\r\n";
  }
  // Runs the interval command with one script of user actions.
  void IntervalCommand(std::vector<DialogAction> script) {
    rig_.dialog.Script(std::move(script));
    window_->SMenu_Timer_Click();
  }

  fakes::Rig rig_;
  std::unique_ptr<Lumivo> window_;
};

TEST_F(MenuTest, OnlyTheRightButtonOpensTheMenu) {
  for (const std::int16_t button : {1, 4, 3, 0}) {
    window_->Form_MouseDown(button, 0, 10, 10);
    window_->ImageControl_MouseDown(0, button, 0, 10, 10);
    window_->ImageControl_MouseDown(1, button, 1, 10, 10);
  }
  EXPECT_TRUE(rig_.log.entries.empty());
  window_->Form_MouseDown(2, 0, 10, 10);
  window_->ImageControl_MouseDown(0, 2, 0, 5, 5);
  window_->ImageControl_MouseDown(1, 2, 7, 5, 5);
  EXPECT_EQ(rig_.log.entries, (Entries{"menu.Popup", "menu.Popup", "menu.Popup"}));
}

TEST_F(MenuTest, SwitchesFlipAndWriteTheFileAndNothingElse) {
  window_->SMenu_Loop_Click();
  EXPECT_EQ(File(), "Loop=True\r\nInterval=2000\r\nRotate=False\r\n");
  window_->SMenu_Rotate_Click();
  EXPECT_EQ(File(), FileWith(true, 2000, true));
  window_->SMenu_Loop_Click();
  EXPECT_EQ(File(), FileWith(false, 2000, true));
  window_->SMenu_Rotate_Click();
  EXPECT_EQ(File(), FileWith(false, 2000, false));
  EXPECT_EQ(rig_.files.writes, 4);
  EXPECT_EQ(rig_.log.Only({"timer.", "slot", "caption", "msgbox", "form."}), Entries{});
}

TEST_F(MenuTest, SwitchCreatesTheFileWhenAbsent) {
  ASSERT_FALSE(rig_.files.existing.count("Mirvane.ini"));
  window_->SMenu_Rotate_Click();
  EXPECT_TRUE(rig_.files.existing.count("Mirvane.ini"));
  EXPECT_EQ(File(), FileWith(false, 2000, true));
}

TEST_F(MenuTest, SwitchWithAFailingWriteStillFlips) {
  rig_.files.fail_writes = true;
  window_->SMenu_Loop_Click();
  EXPECT_TRUE(rig_.menu.checked.count(SMenu_Loop));
  EXPECT_TRUE(rig_.box.shown.empty());
}

TEST_F(MenuTest, IntervalHandOverWithOk) {
  IntervalCommand({DialogAction::Typed("750"), DialogAction::PressOk()});
  EXPECT_EQ(rig_.dialog.loaded_text, "2000");
  EXPECT_EQ(rig_.log.Effects(),
            (Entries{"argument.Text 2000", "dialog.Show", "dialog.TimerInterval.Text 2000",
                     "dialog.TimerInterval.Text 750", "argument.Text 750", "dialog.Unload",
                     "timer.Interval 750", "fs.WriteTextFile Mirvane.ini"}));
  EXPECT_EQ(rig_.timer.interval, 750);
  EXPECT_EQ(File(), FileWith(false, 750, false));
  // The next opening shows the new interval.
  IntervalCommand({DialogAction::PressCancel()});
  EXPECT_EQ(rig_.dialog.loaded_text, "750");
}

TEST_F(MenuTest, CancelOrTitleBarCloseRewritesUnchanged) {
  for (const auto& script :
       {std::vector<DialogAction>{DialogAction::Typed("750"), DialogAction::PressCancel()},
        std::vector<DialogAction>{DialogAction::Typed("900")}}) {
    rig_.log.Clear();
    const int writes = rig_.files.writes;
    IntervalCommand(script);
    EXPECT_EQ(rig_.argument.text, "2000");
    EXPECT_EQ(rig_.log.Starting("timer."), Entries{"timer.Interval 2000"});
    EXPECT_EQ(rig_.files.writes, writes + 1);
    EXPECT_EQ(File(), FileWith(false, 2000, false));
  }
}

TEST_F(MenuTest, OutOfRangeShowsTheMessageAndStaysOpen) {
  for (const char* text : {"0", "", "abc", "65536", "0.99", "65535.01", "-5", "1e9"}) {
    rig_.log.Clear();
    IntervalCommand(
        {DialogAction::Typed(text), DialogAction::PressOk(), DialogAction::PressCancel()});
    // The message comes while the dialog is open; Cancel then closes it.
    EXPECT_EQ(rig_.log.Only({"msgbox", "dialog.Unload", "argument.Text "}),
              (Entries{"argument.Text 2000",
                       "msgbox 48 " + std::string(expected::kRangeTitle) + " " +
                           std::string(expected::kRangeMessage),
                       "dialog.Unload"}))
        << text;
    EXPECT_EQ(rig_.timer.interval, 2000) << text;
  }
}

TEST_F(MenuTest, MessageThenCorrectedValue) {
  IntervalCommand({DialogAction::Typed("0"), DialogAction::PressOk(), DialogAction::Typed("300"),
                   DialogAction::PressOk(), DialogAction::PressCancel()});
  EXPECT_EQ(rig_.box.shown.size(), 1u);
  EXPECT_EQ(rig_.timer.interval, 300);
  EXPECT_EQ(rig_.log.Count("dialog.Unload"), 1u);
}

// Handed back unchanged, converted for the timer and the file.
TEST_F(MenuTest, AcceptedIntervals) {
  const struct {
    std::string typed;
    std::uint16_t interval;
  } rows[] = {{"1", 1},       {"65535", 65535}, {"1.5", 2},       {" 2000", 2000},
              {"750ms", 750}, {"1 0", 10},      {"40000", 40000}, {"1.2.3", 1}};
  for (const auto& row : rows) {
    IntervalCommand({DialogAction::Typed(row.typed), DialogAction::PressOk()});
    EXPECT_TRUE(rig_.box.shown.empty()) << row.typed;
    EXPECT_EQ(rig_.argument.text, row.typed);
    EXPECT_EQ(rig_.timer.interval, row.interval);
    EXPECT_EQ(File(), FileWith(false, row.interval, false));
  }
}

TEST(IntervalFromText, StaysWithinRange) {
  const struct {
    const char* text;
    std::uint16_t fallback, interval;
  } rows[] = {{"750", 2000, 750},    {"750ms", 2000, 750}, {"0.4", 2000, 2000},
              {"abc", 900, 900},     {"", 900, 900},       {"-3", 900, 900},
              {"70000", 900, 65535}, {"1e999", 900, 65535}};
  for (const auto& row : rows) {
    EXPECT_EQ(settings::IntervalFromText(row.text, row.fallback), row.interval) << row.text;
  }
}

TEST_F(MenuTest, ExplanationMessage) {
  window_->SMenu_Document_Click();
  ASSERT_EQ(rig_.box.shown.size(), 1u);
  std::string text;
  for (const auto line : expected::kDocumentLines) {
    if (!text.empty()) text += '\r';
    text += line;
  }
  EXPECT_EQ(rig_.box.shown[0].text, text);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 4);
  EXPECT_EQ(rig_.box.shown[0].text.find('\n'), std::string::npos);
  EXPECT_EQ(rig_.box.shown[0].kind, 64);
  EXPECT_EQ(rig_.box.shown[0].title, expected::kDocumentTitle);
}

TEST_F(MenuTest, VersionMessage) {
  window_->SMenu_Version_Click();
  ASSERT_EQ(rig_.box.shown.size(), 1u);
  const std::string& text = rig_.box.shown[0].text;
  EXPECT_NE(text.find("Mirvane"), std::string::npos);
  EXPECT_NE(text.find_first_of("0123456789"), std::string::npos);
  EXPECT_EQ(rig_.box.shown[0].kind, 64);
  EXPECT_EQ(rig_.box.shown[0].title, expected::kVersionTitle);
}

TEST_F(MenuTest, EndUnloadsAndWritesNothing) {
  window_->SMenu_End_Click();
  EXPECT_EQ(rig_.log.entries, Entries{"form.Unload"});
  EXPECT_EQ(rig_.files.writes, 0);
}

TEST_F(MenuTest, ClickDispatchesById) {
  struct Case {
    int id;
    std::string first_effect;
  };
  for (const Case& c :
       {Case{SMenu_Timer, "argument.Text 2000"}, Case{SMenu_Loop, "menu.Checked 1 1"},
        Case{SMenu_Rotate, "menu.Checked 2 1"}, Case{SMenu_Document, "msgbox 64"},
        Case{SMenu_Version, "msgbox 64"}, Case{SMenu_End, "form.Unload"}}) {
    rig_.log.Clear();
    window_->SMenu_Click(c.id);
    const auto effects = rig_.log.Effects();
    ASSERT_FALSE(effects.empty()) << c.id;
    EXPECT_EQ(effects[0].substr(0, c.first_effect.size()), c.first_effect) << c.id;
  }
  for (const int id : {int{SMenu_Dummy1}, int{SMenu_Dummy2}, int{SMenu_Dummy3}, -1, 11, 99}) {
    rig_.log.Clear();
    window_->SMenu_Click(id);
    EXPECT_TRUE(rig_.log.entries.empty()) << id;
  }
}

TEST(MenuDispatch, SteppingEntriesStep) {
  fakes::Rig rig;
  rig.command.text = "a b c";
  rig.files.existing = {"a", "b", "c"};
  Lumivo window(rig.Controls());
  window.Form_Load();
  window.SMenu_Click(SMenu_NextImage);
  EXPECT_EQ(rig.form.caption, "Mirvane [a]");
  window.SMenu_Click(SMenu_BeforeImage);
  EXPECT_EQ(rig.form.caption, "Mirvane [c]");
}

}  // namespace
}  // namespace mirvane::viewer
