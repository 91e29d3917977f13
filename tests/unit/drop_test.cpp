#include "viewer/drop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_texts.h"
#include "fakes.h"
#include "viewer/slide_show.h"

namespace mirvane::viewer {
namespace {

using Entries = std::vector<std::string>;

class DropTest : public testing::Test {
 protected:
  void SetUp() override {
    rig_.state.Interval = 1500;
    rig_.List({"old1", "old2", "old3"});
    rig_.state.CurrentIndex = 2;
  }
  void Drop() { Form_OLEDragDrop(rig_.state, rig_.Controls(), data_); }
  static std::vector<std::string> Numbered(int count) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) names.push_back("/pictures/p" + std::to_string(i) + ".jpg");
    return names;
  }

  fakes::Rig rig_;
  fakes::FakeDropData data_{rig_.log};
};

TEST_F(DropTest, ThreeNamesInDropOrderAndTheTimerRestarted) {
  data_.names = {"/p/c.jpg", "/p/a.jpg", "/p/my holiday photo.jpg"};
  rig_.timer.enabled = false;
  Drop();
  EXPECT_EQ(rig_.state.FileCount, 3);
  EXPECT_EQ(rig_.state.CurrentIndex, 0);
  EXPECT_EQ(rig_.state.FileList[1], "/p/c.jpg");
  EXPECT_EQ(rig_.state.FileList[2], "/p/a.jpg");
  EXPECT_EQ(rig_.state.FileList[3], "/p/my holiday photo.jpg");
  EXPECT_EQ(rig_.log.entries, (Entries{"drop.GetFormat? 15", "drop.Files? 1", "drop.Files? 2",
                                       "drop.Files? 3", "drop.Files? 4", "timer.Interval 1",
                                       "timer.Enabled 1", "timer.Interval 1500"}));
  EXPECT_TRUE(rig_.timer.enabled);
  EXPECT_EQ(rig_.timer.interval, 1500);
}

TEST_F(DropTest, NamesAreKeptExactly) {
  data_.names = {"  blank front and back  ", "\ttab", ""};
  Drop();
  ASSERT_EQ(rig_.state.FileCount, 3);
  EXPECT_EQ(rig_.state.FileList[1], "  blank front and back  ");
  EXPECT_EQ(rig_.state.FileList[2], "\ttab");
  EXPECT_EQ(rig_.state.FileList[3], "");
}

TEST_F(DropTest, AtMost999AreCounted) {
  struct Case {
    int dropped;
    std::int16_t count;
  };
  for (const Case c : {Case{999, 999}, Case{1000, 999}, Case{1200, 999}}) {
    rig_.log.Clear();
    data_.names = Numbered(c.dropped);
    Drop();
    EXPECT_EQ(rig_.state.FileCount, c.count) << c.dropped;
    EXPECT_EQ(rig_.state.FileList[999], "/pictures/p999.jpg");
    EXPECT_EQ(rig_.log.Count("drop.Files? "), 1000u) << c.dropped;
    if (c.dropped >= 1000) {
      EXPECT_EQ(rig_.state.FileList[1000], "/pictures/p1000.jpg");
    }
  }
}

TEST_F(DropTest, FormatWithoutNamesGivesAnEmptyRunningList) {
  rig_.timer.enabled = false;
  Drop();
  EXPECT_EQ(rig_.state.FileCount, 0);
  EXPECT_EQ(rig_.state.CurrentIndex, 0);
  EXPECT_TRUE(rig_.timer.enabled);
  EXPECT_EQ(rig_.state.FileList[1], "old1");  // the failed fetch leaves the slot
  rig_.log.Clear();
  Timer1_Timer(rig_.state, rig_.Controls());
  EXPECT_TRUE(rig_.log.entries.empty());
}

TEST_F(DropTest, AnythingButFilesIsRefused) {
  for (const bool throws : {false, true}) {
    rig_.log.Clear();
    rig_.box.shown.clear();
    data_.has_file_list = false;
    data_.format_throws = throws;
    data_.names = {"x.jpg"};
    Drop();
    ASSERT_EQ(rig_.box.shown.size(), 1u);
    EXPECT_EQ(rig_.box.shown[0].text, expected::kDropMessage);
    EXPECT_EQ(rig_.box.shown[0].kind, 48);
    EXPECT_EQ(rig_.box.shown[0].title, expected::kDropTitle);
    EXPECT_EQ(rig_.log.Effects().size(), 1u);  // the message alone
    EXPECT_EQ(rig_.state.FileCount, 3);
    EXPECT_EQ(rig_.state.CurrentIndex, 2);
    EXPECT_EQ(rig_.state.FileList[1], "old1");
  }
}

TEST_F(DropTest, FailingFetchEndsTheListThere) {
  data_.names = Numbered(5);
  data_.failing_fetch = 3;
  Drop();
  EXPECT_EQ(rig_.state.FileCount, 2);
  EXPECT_EQ(rig_.state.FileList[3], "old3");
  EXPECT_EQ(rig_.log.Count("drop.Files? "), 3u);
  EXPECT_TRUE(rig_.timer.enabled);
}

TEST_F(DropTest, RestartsAStoppedShowFromTheFirstNewName) {
  rig_.files.existing = {"old1", "old2", "old3", "n1", "n2"};
  rig_.state.CurrentIndex = 0;
  for (int i = 0; i < 3; ++i) Timer1_Timer(rig_.state, rig_.Controls());
  ASSERT_FALSE(rig_.timer.enabled);
  data_.names = {"n1", "n2"};
  Drop();
  EXPECT_TRUE(rig_.timer.enabled);
  EXPECT_EQ(rig_.form.caption, "Mirvane [old3]");  // on view until the next tick
  Timer1_Timer(rig_.state, rig_.Controls());
  EXPECT_EQ(rig_.form.caption, "Mirvane [n1]");
}

TEST_F(DropTest, ReplacesARunningShowWithoutShowingAnything) {
  data_.names = {"n1"};
  rig_.log.Clear();
  Drop();
  EXPECT_EQ(rig_.log.Only({"slot", "caption", "fs."}), Entries{});
}

}  // namespace
}  // namespace mirvane::viewer
