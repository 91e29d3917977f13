#include "viewer/next_names.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fakes.h"
#include "viewer/lumivo.h"
#include "viewer/menu_entries.h"
#include "viewer/presentation.h"

namespace mirvane::viewer {
namespace {

using Entries = std::vector<std::string>;
using platform::TurnWhen;

TEST(NextNames, FollowTheTicks) {
  const Entries five = {"a", "b", "c", "d", "e"};
  const struct {
    const char* what;
    Entries names;
    std::int16_t at;
    bool loop;
    Entries next;
  } rows[] = {
      {"not started", five, 0, false, {"a", "b", "c", "d"}},
      {"middle, loop off: up to the end", five, 3, false, {"d", "e"}},
      {"middle, loop on: over the end", five, 3, true, {"d", "e", "a", "b"}},
      {"last name taken, loop off", {"a", "b", "c"}, 2, false, {"c"}},
      {"stopped at the end: as the next-image command", five, 5, false, {"a", "b", "c", "d"}},
      {"parked at the end", five, 5, true, {"a", "b", "c", "d"}},
      {"each index once", {"a", "b", "c"}, 2, true, {"c", "a", "b"}},
      {"two names looping", {"a", "b"}, 1, true, {"b", "a"}},
      {"one name not yet shown", {"a"}, 0, true, {"a"}},
      {"one name shown: nothing follows", {"a"}, 1, true, {}},
      {"one name never loops", {"a"}, 0, false, {"a"}},
      {"the same name twice", {"a", "a", "b"}, 0, false, {"a", "a", "b"}},
      {"empty list", {}, 0, true, {}},
      {"index outside the list", {"a", "b"}, -3, false, {"a", "b"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fakes::Rig rig;
    rig.List(row.names);
    rig.state.CurrentIndex = row.at;
    EXPECT_EQ(NextNames(rig.state, row.loop, kNamesAhead), row.next);
  }
}

TEST(NextNames, CountLimitsTheList) {
  fakes::Rig rig;
  rig.List({"a", "b", "c"});
  EXPECT_EQ(NextNames(rig.state, true, 2), (Entries{"a", "b"}));
  EXPECT_EQ(NextNames(rig.state, true, 0), Entries{});
}

// The rule the platform turns prepared pictures by must agree with ImageRotate, which the
// slot obeys when the picture is shown.
TEST(TurnRule, AgreesWithImageRotate) {
  const float windows[][2] = {{7245, 5400}, {5400, 7245}, {6000, 6000}, {5400, 5500}};
  const std::int32_t pictures[][2] = {{800, 600}, {600, 800}, {500, 500}};
  for (const bool rotate : {false, true}) {
    for (const auto& window : windows) {
      for (const auto& picture : pictures) {
        fakes::Rig rig;
        if (rotate) rig.menu.checked.insert(SMenu_Rotate);
        rig.form.width = window[0];
        rig.form.height = window[1];
        rig.slot0.picture_width = picture[0];
        rig.slot0.picture_height = picture[1];
        std::uint8_t slot = 0;
        ImageRotate(rig.Controls(), slot);
        const TurnWhen rule = TurnRule({false, rotate, window[0], window[1]});
        const bool predicted = (rule == TurnWhen::kPortrait && picture[0] < picture[1]) ||
                               (rule == TurnWhen::kLandscape && picture[0] > picture[1]);
        EXPECT_EQ(predicted, rig.slot0.turns == 1)
            << rotate << " window " << window[0] << "x" << window[1] << " picture " << picture[0]
            << "x" << picture[1];
      }
    }
  }
}

// The main window tells the platform what comes next after each handler that changes it,
// from what it already knows, without a call of its own in the shared log.
class TellNextTest : public testing::Test {
 protected:
  void Load(const std::string& settings, const std::string& command) {
    rig_.files.Put("Mirvane.ini", settings);
    rig_.command.text = command;
    for (const char* name : {"a", "b", "c", "d", "e"}) rig_.files.existing.insert(name);
    window_ = std::make_unique<Lumivo>(rig_.Controls());
    window_->Form_Load();
  }
  const platform::Upcoming& Last() const { return rig_.next.told.back(); }

  fakes::Rig rig_;
  std::unique_ptr<Lumivo> window_;
};

TEST_F(TellNextTest, StartUpTicksStepsAndFailures) {
  Load("Loop=False\r\nInterval=1500\r\nRotate=False\r\n", "a b c d e");
  EXPECT_EQ(Last(), (platform::Upcoming{{"a", "b", "c", "d"}, 0, TurnWhen::kNever}));
  window_->Timer1_Timer();
  EXPECT_EQ(Last(), (platform::Upcoming{{"b", "c", "d", "e"}, 1, TurnWhen::kNever}));
  rig_.Unreadable("b");
  window_->Timer1_Timer();  // b fails, c is shown
  EXPECT_EQ(Last().names, (Entries{"d", "e"}));
  EXPECT_EQ(Last().slot, 0);
  window_->SMenu_BeforeImage_Click();  // b again, which fails: the index stays on it
  EXPECT_EQ(Last().names, (Entries{"c", "d", "e"}));
  EXPECT_EQ(Last().slot, 0);
  window_->SMenu_NextImage_Click();
  window_->SMenu_NextImage_Click();
  EXPECT_EQ(Last().names, (Entries{"e"}));
  window_->SMenu_Loop_Click();
  EXPECT_EQ(Last().names, (Entries{"e", "a", "b", "c"}));
  const std::size_t told = rig_.next.told.size();
  window_->SMenu_Document_Click();
  window_->SMenu_Version_Click();
  EXPECT_EQ(rig_.next.told.size(), told);
}

TEST_F(TellNextTest, DropsStartTheListOver) {
  Load("Loop=True\r\n", "a b c");
  window_->Timer1_Timer();
  fakes::FakeDropData data(rig_.log);
  data.names = {"x", "y"};
  std::int32_t effect = 0;
  window_->Form_OLEDragDrop(data, effect, 1, 0, 0, 0);
  EXPECT_EQ(Last(), (platform::Upcoming{{"x", "y"}, 1, TurnWhen::kNever}));
  data.has_file_list = false;  // refused: what comes next stays
  window_->Form_OLEDragDrop(data, effect, 1, 0, 0, 0);
  EXPECT_EQ(Last().names, (Entries{"x", "y"}));
}

TEST_F(TellNextTest, TurnFollowsRotationAndTheWindowAsLastSeen) {
  Load("Rotate=True\r\n", "a b");
  EXPECT_EQ(Last().turn, TurnWhen::kNever);  // no size seen before the first layout
  window_->Form_Resize();
  EXPECT_EQ(Last().turn, TurnWhen::kPortrait);  // 7245 x 5400
  rig_.form.width = 4000;
  window_->Form_Resize();
  EXPECT_EQ(Last().turn, TurnWhen::kLandscape);
  rig_.form.state = 1;  // minimised: not laid out, the size last seen stays
  rig_.form.width = 9000;
  window_->Form_Resize();
  EXPECT_EQ(Last().turn, TurnWhen::kLandscape);
  window_->SMenu_Rotate_Click();
  EXPECT_EQ(Last().turn, TurnWhen::kNever);
  window_->SMenu_Rotate_Click();
  EXPECT_EQ(Last().turn, TurnWhen::kLandscape);
}

}  // namespace
}  // namespace mirvane::viewer
