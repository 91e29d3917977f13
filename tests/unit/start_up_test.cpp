#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_texts.h"
#include "fakes.h"
#include "viewer/lumivo.h"
#include "viewer/menu_entries.h"

namespace mirvane::viewer {
namespace {

using Entries = std::vector<std::string>;

class StartUpTest : public testing::Test {
 protected:
  // The window is built only when the test asks, so that the fakes can be set first.
  Lumivo& Window() {
    if (!window_) window_ = std::make_unique<Lumivo>(rig_.Controls());
    return *window_;
  }
  void Load() {
    Window();
    rig_.log.Clear();
    window_->Form_Load();
  }

  fakes::Rig rig_;
  std::unique_ptr<Lumivo> window_;
};

TEST_F(StartUpTest, SettingsThenIntervalThenEnabledWithArguments) {
  rig_.command.text = "a.jpg b.jpg";
  rig_.files.Put("Mirvane.ini", "Interval=500\r\n");
  Load();
  EXPECT_EQ(
      rig_.log.Only({"fs.", "timer.", "cmd."}),
      (Entries{"fs.FileExists? Mirvane.ini", "fs.ReadTextFile? Mirvane.ini", "timer.Interval 500",
               "cmd.ArgumentText?", "timer.Enabled 1", "cmd.ArgumentText?"}));
}

TEST_F(StartUpTest, NoSettingsFileGivesDefaultInterval) {
  rig_.command.text = "a.jpg";
  Load();
  EXPECT_EQ(rig_.log.Starting("timer."), (Entries{"timer.Interval 2000", "timer.Enabled 1"}));
  EXPECT_EQ(rig_.files.writes, 0);
}

TEST_F(StartUpTest, SettingsFileSetsCheckMarks) {
  rig_.command.text = "a.jpg";
  rig_.files.Put("Mirvane.ini", "Loop=True\r\nInterval=900\r\nRotate=1\r\n");
  Load();
  EXPECT_TRUE(rig_.menu.checked.count(SMenu_Loop));
  EXPECT_TRUE(rig_.menu.checked.count(SMenu_Rotate));
  EXPECT_EQ(rig_.timer.interval, 900);
}

TEST_F(StartUpTest, BlanksOnlyCountAsArguments) {
  rig_.command.text = "   ";
  Load();
  EXPECT_EQ(rig_.log.Starting("timer."), (Entries{"timer.Interval 2000", "timer.Enabled 1"}));
}

TEST_F(StartUpTest, EmptyArgumentsLeaveTheTimerAsCreated) {
  rig_.command.text = "";
  Load();
  EXPECT_EQ(rig_.log.Starting("timer."), (Entries{"timer.Interval 2000"}));
  EXPECT_TRUE(rig_.timer.enabled);
  // No tick finds a name to show.
  Window().Timer1_Timer();
  Window().Timer1_Timer();
  EXPECT_EQ(rig_.log.Count("fs.FileExists? "), 1u);  // only the settings file
  EXPECT_EQ(rig_.form.caption, "Mirvane");
}

TEST_F(StartUpTest, NothingIsShownDuringStartUp) {
  rig_.command.text = "a.jpg b.jpg";
  rig_.files.existing = {"a.jpg", "b.jpg"};
  Load();
  EXPECT_EQ(rig_.log.Only({"slot", "caption", "msgbox", "menu.Popup", "dialog."}), Entries{});
  // The first tick shows the first name, in slot 0.
  Window().Timer1_Timer();
  EXPECT_EQ(rig_.log.Starting("slot0.SourcePath"), (Entries{"slot0.SourcePath a.jpg"}));
  EXPECT_EQ(rig_.form.caption, "Mirvane [a.jpg]");
}

TEST_F(StartUpTest, MenuHasElevenEntriesInOrder) {
  Window();
  ASSERT_EQ(rig_.menu.entries.size(), expected::kMenuCaptions.size());
  for (std::size_t i = 0; i < expected::kMenuCaptions.size(); ++i) {
    EXPECT_EQ(rig_.menu.entries[i].first, static_cast<int>(i));
    EXPECT_EQ(rig_.menu.entries[i].second, expected::kMenuCaptions[i]) << "entry " << i;
    EXPECT_EQ(MenuCaption(static_cast<MenuEntry>(i)), expected::kMenuCaptions[i]);
  }
  EXPECT_TRUE(rig_.menu.checked.empty());
  // Building the menu is all the window does before it is loaded.
  EXPECT_EQ(rig_.log.entries.size(), 11u);
}

}  // namespace
}  // namespace mirvane::viewer
