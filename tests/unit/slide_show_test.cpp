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
  static void Names(fakes::Rig& rig, const Entries& names, bool loop) {
    rig.List(names);
    if (loop) rig.menu.checked.insert(SMenu_Loop);
  }
  void Names(const Entries& names, bool loop) { Names(rig_, names, loop); }
  static void Tick(fakes::Rig& rig) { Timer1_Timer(rig.state, rig.Controls()); }
  void Tick() { Tick(rig_); }
  void Next() { SMenu_NextImage_Click(rig_.state, rig_.Controls()); }
  void Previous() { SMenu_BeforeImage_Click(rig_.state, rig_.Controls()); }
  // The names ShowImage was asked for since the log was last cleared.
  static Entries Tried(const fakes::Rig& rig) {
    Entries names;
    for (const auto& entry : rig.log.Starting("fs.FileExists? ")) names.push_back(entry.substr(15));
    return names;
  }
  Entries Tried() const { return Tried(rig_); }
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

// After `before` ticks, `unreadable` fail to render and `missing` are gone; one more tick
// tries `tried` and leaves the show at `index`, with `caption` and the timer `running`.
TEST_F(SlideShowTest, OneTick) {
  const struct {
    const char* what;
    Entries names;
    bool loop;
    int before;
    Entries unreadable, missing, tried;
    std::int16_t index;
    const char* caption;
    bool running;
  } rows[] = {
      {"one name, loop off", {"a"}, false, 0, {}, {}, {"a"}, 1, "Mirvane [a]", false},
      {"one name, loop on", {"a"}, true, 0, {}, {}, {"a"}, 1, "Mirvane [a]", false},
      {"failing name passed over",
       {"a", "b", "c"},
       false,
       1,
       {"b"},
       {},
       {"b", "c"},
       3,
       "Mirvane [c]",
       false},
      {"failures around the wrap",
       {"a", "b", "c"},
       true,
       2,
       {"c", "a"},
       {},
       {"c", "a", "b"},
       2,
       "Mirvane [b]",
       true},
      {"missing file keeps the picture",
       {"a", "b", "c"},
       false,
       1,
       {},
       {"b"},
       {"b"},
       2,
       "Mirvane [a]",
       true},
      {"after a missing file",
       {"a", "b", "c"},
       false,
       2,
       {},
       {"b"},
       {"c"},
       3,
       "Mirvane [c]",
       false},
      {"all failing from the middle",
       {"a", "b", "c", "d"},
       true,
       2,
       {"a", "b", "c", "d"},
       {},
       {"c", "d", "a", "b"},
       2,
       "Mirvane [b]",
       true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fakes::Rig rig;
    Names(rig, row.names, row.loop);
    for (int i = 0; i < row.before; ++i) Tick(rig);
    for (const auto& name : row.unreadable) rig.Unreadable(name);
    for (const auto& name : row.missing) rig.files.existing.erase(name);
    rig.log.Clear();
    Tick(rig);
    EXPECT_EQ(Tried(rig), row.tried);
    EXPECT_EQ(rig.state.CurrentIndex, row.index);
    EXPECT_EQ(rig.form.caption, row.caption);
    EXPECT_EQ(rig.timer.enabled, row.running);
  }
}

TEST_F(SlideShowTest, OneNameStepsNowhereAfterItsTick) {
  for (const bool loop : {false, true}) {
    fakes::Rig rig;
    Names(rig, {"a"}, loop);
    Tick(rig);
    rig.log.Clear();
    SMenu_NextImage_Click(rig.state, rig.Controls());
    SMenu_BeforeImage_Click(rig.state, rig.Controls());
    EXPECT_TRUE(rig.log.entries.empty()) << loop;
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

TEST_F(SlideShowTest, NoNameCanBeShown) {
  for (const bool loop : {false, true}) {
    fakes::Rig rig;
    Names(rig, {"a", "b", "c", "d"}, loop);
    for (const char* name : {"a", "b", "c", "d"}) rig.Unreadable(name);
    for (int tick = 0; tick < 3; ++tick) {
      rig.log.Clear();
      const std::int16_t start = rig.state.CurrentIndex;
      Tick(rig);
      // Every name once per tick; without loop the first tick stops the show and
      // later ones return at once.
      const Entries expected = loop || tick == 0 ? Entries{"a", "b", "c", "d"} : Entries{};
      EXPECT_EQ(Tried(rig), expected) << "loop " << loop << ", tick " << tick;
      EXPECT_EQ(rig.log.Count("caption"), 0u);
      if (loop) {
        EXPECT_TRUE(rig.timer.enabled);
        EXPECT_EQ(rig.state.CurrentIndex, start);
      }
    }
    EXPECT_EQ(rig.timer.enabled, loop);
  }
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
