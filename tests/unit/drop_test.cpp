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
  EXPECT_EQ(fakes::Listed(rig_.state), data_.names);
  EXPECT_EQ(rig_.state.CurrentIndex, 0);
  EXPECT_EQ(rig_.log.entries, (Entries{"drop.GetFormat? 15", "drop.Files? 1", "drop.Files? 2",
                                       "drop.Files? 3", "drop.Files? 4", "timer.Interval 1",
                                       "timer.Enabled 1", "timer.Interval 1500"}));
  EXPECT_TRUE(rig_.timer.enabled);
  EXPECT_EQ(rig_.timer.interval, 1500);
}

TEST_F(DropTest, NamesAreKeptExactly) {
  data_.names = {"  blank front and back  ", "\ttab", ""};
  Drop();
  EXPECT_EQ(fakes::Listed(rig_.state), (Entries{"  blank front and back  ", "\ttab", ""}));
}

TEST_F(DropTest, AtMost999AreCounted) {
  for (const int dropped : {999, 1000, 1200}) {
    rig_.log.Clear();
    data_.names = Numbered(dropped);
    Drop();
    EXPECT_EQ(rig_.state.FileCount, 999) << dropped;
    EXPECT_EQ(rig_.state.FileList[999], "/pictures/p999.jpg");
    EXPECT_EQ(rig_.log.Count("drop.Files? "), 1000u) << dropped;
    EXPECT_EQ(rig_.state.FileList[1000], dropped >= 1000 ? "/pictures/p1000.jpg" : "");
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
    data_.has_file_list = false;
    data_.format_throws = throws;
    data_.names = {"x.jpg"};
    Drop();
    const std::string message = "msgbox 48 " + std::string(expected::kDropTitle) + " " +
                                std::string(expected::kDropMessage);
    EXPECT_EQ(rig_.log.Effects(), Entries{message});  // the message alone
    EXPECT_EQ(fakes::Listed(rig_.state), (Entries{"old1", "old2", "old3"}));
    EXPECT_EQ(rig_.state.CurrentIndex, 2);
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
