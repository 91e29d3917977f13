#include "viewer/slide_show.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "viewer/menu_entries.h"

namespace mirvane::viewer {
namespace {

using Entries = std::vector<std::string>;

class SlideShowTest : public testing::Test {
 protected:
  void Names(const std::vector<std::string>& names, bool loop) {
    rig_.List(names);
    if (loop) rig_.menu.checked.insert(SMenu_Loop);
  }
  void Tick() { Timer1_Timer(rig_.state, rig_.Controls()); }
  void Next() { SMenu_NextImage_Click(rig_.state, rig_.Controls()); }
  void Previous() { SMenu_BeforeImage_Click(rig_.state, rig_.Controls()); }
  // The names ShowImage was asked for since the log was last cleared.
  Entries Tried() const {
    Entries names;
    for (const auto& entry : rig_.log.Starting("fs.FileExists? "))
      names.push_back(entry.substr(15));
    return names;
  }
  Entries Rendered() const {
    Entries names;
    for (const auto& entry : rig_.log.Only({"slot0.SourcePath ", "slot1.SourcePath "})) {
      names.push_back(entry.substr(17));
    }
    return names;
  }
  void Clear() { rig_.log.Clear(); }

  fakes::Rig rig_;
};

TEST_F(SlideShowTest, OneNameShowsAndStopsLoopOnOrOff) {
  for (const bool loop : {false, true}) {
    fakes::Rig& rig = rig_;
    rig.menu.checked.clear();
    rig.timer.enabled = true;
    Names({"a"}, loop);
    Clear();
    Tick();
    EXPECT_EQ(Tried(), Entries{"a"});
    EXPECT_FALSE(rig.timer.enabled);
    EXPECT_EQ(rig.state.CurrentIndex, 1);
    Clear();
    Next();
    Previous();
    EXPECT_TRUE(rig.log.entries.empty());
  }
}

TEST_F(SlideShowTest, ThreeNamesLoopOff) {
  Names({"a", "b", "c"}, false);
  Tick();
  Tick();
  EXPECT_TRUE(rig_.timer.enabled);
  Tick();
  EXPECT_EQ(Rendered(), (Entries{"a", "b", "c"}));
  EXPECT_EQ(rig_.log.Starting("timer."), Entries{"timer.Enabled 0"});
  EXPECT_EQ(rig_.state.CurrentIndex, 3);
  EXPECT_EQ(rig_.form.caption, "Mirvane [c]");
  Clear();
  Tick();
  EXPECT_TRUE(rig_.log.Starting("fs.").empty());
}

TEST_F(SlideShowTest, ThreeNamesLoopOnWraps) {
  Names({"a", "b", "c"}, true);
  Tick();
  Tick();
  Tick();
  EXPECT_EQ(rig_.state.CurrentIndex, 0);
  EXPECT_TRUE(rig_.timer.enabled);
  EXPECT_EQ(rig_.log.Count("timer."), 0u);
  Tick();
  EXPECT_EQ(Rendered(), (Entries{"a", "b", "c", "a"}));
  EXPECT_EQ(rig_.state.CurrentIndex, 1);
}

TEST_F(SlideShowTest, FailingNameIsPassedOverWithinTheTick) {
  Names({"a", "b", "c"}, false);
  rig_.Unreadable("b");
  Tick();
  Clear();
  Tick();
  EXPECT_EQ(Tried(), (Entries{"b", "c"}));
  EXPECT_EQ(rig_.form.caption, "Mirvane [c]");
  EXPECT_FALSE(rig_.timer.enabled);
  EXPECT_EQ(rig_.state.CurrentIndex, 3);
}

TEST_F(SlideShowTest, LoopOnFailuresAroundTheWrapComeBackToTheStart) {
  Names({"a", "b", "c"}, true);
  Tick();
  Tick();  // b on view, CurrentIndex 2
  rig_.Unreadable("c");
  rig_.Unreadable("a");
  Clear();
  Tick();
  EXPECT_EQ(Tried(), (Entries{"c", "a", "b"}));
  EXPECT_EQ(rig_.state.CurrentIndex, 2);
  EXPECT_EQ(rig_.form.caption, "Mirvane [b]");
  EXPECT_TRUE(rig_.timer.enabled);
}

TEST_F(SlideShowTest, MissingFileEndsTheTickWithThePreviousPicture) {
  Names({"a", "b", "c"}, false);
  rig_.files.existing.erase("b");
  Tick();
  Clear();
  Tick();
  EXPECT_EQ(Tried(), Entries{"b"});
  EXPECT_EQ(rig_.form.caption, "Mirvane [a]");
  EXPECT_EQ(rig_.state.CurrentIndex, 2);
  Tick();
  EXPECT_EQ(rig_.form.caption, "Mirvane [c]");
}

TEST_F(SlideShowTest, NoNameCanBeShown) {
  for (const bool loop : {false, true}) {
    fakes::Rig& rig = rig_;
    rig.menu.checked.clear();
    rig.timer.enabled = true;
    Names({"a", "b", "c", "d"}, loop);
    for (const char* name : {"a", "b", "c", "d"}) rig.Unreadable(name);
    for (int tick = 0; tick < 3; ++tick) {
      Clear();
      const std::int16_t start = rig.state.CurrentIndex;
      Tick();
      EXPECT_LE(Tried().size(), 4u);
      if (tick == 0) {
        EXPECT_EQ(Tried().size(), 4u);
      }
      EXPECT_EQ(rig.log.Count("caption"), 0u);
      if (loop) {
        EXPECT_TRUE(rig.timer.enabled);
        EXPECT_EQ(rig.state.CurrentIndex, start);
      }
    }
    EXPECT_EQ(rig.timer.enabled, loop);
  }
}

TEST_F(SlideShowTest, FromTheMiddleAllFailingTakesEveryNameOnce) {
  Names({"a", "b", "c", "d"}, true);
  Tick();
  Tick();
  for (const char* name : {"a", "b", "c", "d"}) rig_.Unreadable(name);
  Clear();
  Tick();
  EXPECT_EQ(Tried(), (Entries{"c", "d", "a", "b"}));
  EXPECT_EQ(rig_.state.CurrentIndex, 2);
}

TEST_F(SlideShowTest, ParkedAtTheLastNameTicksDoNothing) {
  for (const bool loop : {false, true}) {
    rig_.menu.checked.clear();
    Names({"a", "b", "c"}, loop);
    rig_.timer.enabled = true;
    Next();
    Previous();  // at 3, parked
    ASSERT_EQ(rig_.state.CurrentIndex, 3);
    Clear();
    Tick();
    Tick();
    EXPECT_TRUE(rig_.log.entries.empty());
    EXPECT_TRUE(rig_.timer.enabled);
    Next();
    EXPECT_EQ(Rendered(), Entries{"a"});
  }
}

TEST_F(SlideShowTest, EmptyListTicksDoNothing) {
  Tick();
  EXPECT_TRUE(rig_.log.entries.empty());
  EXPECT_EQ(rig_.state.CurrentIndex, 0);
}

struct StepCase {
  const char* name;
  std::int16_t from;
  bool wrapped;
  bool forward;
  std::int16_t to;
};

class SteppingTest : public SlideShowTest, public testing::WithParamInterface<StepCase> {};

TEST_P(SteppingTest, WrapsAtTheEnds) {
  const StepCase& c = GetParam();
  Names({"n1", "n2", "n3", "n4"}, true);
  rig_.state.CurrentIndex = c.from;
  rig_.state.WrappedToStart = c.wrapped;
  if (c.forward) {
    Next();
  } else {
    Previous();
  }
  EXPECT_EQ(rig_.state.CurrentIndex, c.to);
  EXPECT_EQ(Tried(), Entries{"n" + std::to_string(c.to)});
  EXPECT_EQ(rig_.log.Count("timer."), 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, SteppingTest,
                         testing::Values(StepCase{"NextAtLast", 4, false, true, 1},
                                         StepCase{"NextInMiddle", 2, false, true, 3},
                                         StepCase{"NextBeforeStart", 0, false, true, 1},
                                         StepCase{"NextAfterWrap", 0, true, true, 1},
                                         StepCase{"PreviousAtFirst", 1, false, false, 4},
                                         StepCase{"PreviousInMiddle", 3, false, false, 2},
                                         StepCase{"PreviousBeforeStart", 0, false, false, 4},
                                         StepCase{"PreviousAfterWrap", 0, true, false, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SlideShowTest, PreviousRightAfterALoopingWrapShowsTheOneBeforeTheLast) {
  Names({"a", "b", "c"}, true);
  Tick();
  Tick();
  Tick();  // c on view, CurrentIndex 0
  Clear();
  Previous();
  EXPECT_EQ(Rendered(), Entries{"b"});
  EXPECT_EQ(rig_.state.CurrentIndex, 2);
}

TEST_F(SlideShowTest, SteppingDoesNothingBelowTwoNames) {
  for (const std::vector<std::string>& names :
       {std::vector<std::string>{}, std::vector<std::string>{"a"}}) {
    Names(names, true);
    Clear();
    Next();
    Previous();
    EXPECT_TRUE(rig_.log.entries.empty());
    EXPECT_EQ(rig_.state.CurrentIndex, 0);
  }
}

TEST_F(SlideShowTest, SteppingNeverTouchesTheTimer) {
  Names({"a", "b", "c"}, false);
  Tick();
  Tick();
  Tick();  // stopped
  Clear();
  Next();
  Previous();
  Previous();
  EXPECT_EQ(rig_.log.Count("timer."), 0u);
  EXPECT_FALSE(rig_.timer.enabled);
}

TEST_F(SlideShowTest, FailingNameKeepsTheStepOnIt) {
  Names({"a", "b", "c"}, false);
  Tick();
  rig_.Unreadable("b");
  Next();
  EXPECT_EQ(rig_.state.CurrentIndex, 2);
  EXPECT_EQ(rig_.form.caption, "Mirvane [a]");
  Next();
  EXPECT_EQ(rig_.form.caption, "Mirvane [c]");
}

TEST_F(SlideShowTest, ToggledLoopActsAtTheNextEnd) {
  Names({"a", "b"}, false);
  Tick();
  rig_.menu.checked.insert(SMenu_Loop);
  Tick();
  EXPECT_TRUE(rig_.timer.enabled);
  EXPECT_EQ(rig_.state.CurrentIndex, 0);
}

}  // namespace
}  // namespace mirvane::viewer
