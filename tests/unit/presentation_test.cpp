#include "viewer/presentation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "viewer/menu_entries.h"

namespace mirvane::viewer {
namespace {

using Entries = std::vector<std::string>;

class ShowImageTest : public testing::Test {
 protected:
  void SetUp() override {
    rig_.List({"a.jpg", "b.jpg"});
    rig_.state.CurrentIndex = 1;
  }

  std::uint8_t Show() {
    std::uint8_t result = 77;
    ShowImage(rig_.state, rig_.Controls(), result);
    return result;
  }

  fakes::Rig rig_;
};

TEST_F(ShowImageTest, ExactOrderWithRotationOff) {
  EXPECT_EQ(Show(), 255);
  EXPECT_EQ(rig_.log.entries, (Entries{"fs.FileExists? a.jpg", "slot0.SourcePath a.jpg",
                                       "slot0.Render", "caption Mirvane [a.jpg]", "menu.Checked? 2",
                                       "slot0.Visible 1", "slot1.Visible 0"}));
  EXPECT_EQ(rig_.state.BackIndex, 1);
}

TEST_F(ShowImageTest, ExactOrderWithRotationOn) {
  rig_.menu.checked = {SMenu_Rotate};
  rig_.slot0.picture_width = 600;
  rig_.slot0.picture_height = 800;
  EXPECT_EQ(Show(), 255);
  EXPECT_EQ(rig_.log.entries,
            (Entries{"fs.FileExists? a.jpg", "slot0.SourcePath a.jpg", "slot0.Render",
                     "caption Mirvane [a.jpg]", "menu.Checked? 2", "form.Height?", "form.Width?",
                     "slot0.PictureHeight?", "slot0.PictureWidth?", "slot0.Turn 900",
                     "slot0.Visible 1", "slot1.Visible 0"}));
}

TEST_F(ShowImageTest, SecondPictureGoesIntoSlotOne) {
  Show();
  rig_.state.CurrentIndex = 2;
  rig_.log.Clear();
  EXPECT_EQ(Show(), 255);
  EXPECT_EQ(rig_.log.Effects(),
            (Entries{"slot1.SourcePath b.jpg", "slot1.Render", "caption Mirvane [b.jpg]",
                     "slot1.Visible 1", "slot0.Visible 0"}));
  EXPECT_EQ(rig_.state.BackIndex, 0);
}

// What ran before the error stays, the failing call included; the rest does not run.
TEST_F(ShowImageTest, ErrorInAStepEndsIt) {
  const struct {
    const char* operation;
    Entries effects;
  } rows[] = {
      {"SourcePath", {"slot0.SourcePath a.jpg !"}},
      {"Render", {"slot0.SourcePath a.jpg", "slot0.Render !"}},
      {"Visible",
       {"slot0.SourcePath a.jpg", "slot0.Render", "caption Mirvane [a.jpg]", "slot0.Visible 1 !"}}};
  for (const auto& row : rows) {
    rig_.log.Clear();
    rig_.slot0.failing = {row.operation};
    EXPECT_EQ(Show(), 0) << row.operation;
    EXPECT_EQ(rig_.log.Effects(), row.effects);
    EXPECT_EQ(rig_.state.BackIndex, 0);
  }
}

TEST_F(ShowImageTest, ErrorHidingTheOldSlotLeavesTheFlipDone) {
  rig_.slot1.failing = {"Visible"};
  EXPECT_EQ(Show(), 0);
  EXPECT_EQ(rig_.state.BackIndex, 1);
  EXPECT_TRUE(rig_.slot0.visible);
}

TEST_F(ShowImageTest, UnreadablePictureKeepsTheOneOnView) {
  Show();  // a.jpg in slot 0, on view
  rig_.Unreadable("b.jpg");
  rig_.state.CurrentIndex = 2;
  EXPECT_EQ(Show(), 0);
  EXPECT_EQ(rig_.form.caption, "Mirvane [a.jpg]");
  EXPECT_EQ(rig_.state.BackIndex, 1);
  EXPECT_TRUE(rig_.slot0.visible);
  EXPECT_FALSE(rig_.slot1.visible);
  EXPECT_EQ(rig_.slot1.source, "b.jpg");  // the hidden slot may keep the name
}

TEST_F(ShowImageTest, MissingFileCompletesAndChangesNothing) {
  rig_.files.existing.erase("a.jpg");
  EXPECT_EQ(Show(), 255);
  EXPECT_EQ(rig_.log.entries, (Entries{"fs.FileExists? a.jpg"}));
  EXPECT_EQ(rig_.state.BackIndex, 0);
}

TEST_F(ShowImageTest, EmptyNameAtIndexZeroIsLookedUpAndAbsent) {
  rig_.state.CurrentIndex = 0;
  EXPECT_EQ(Show(), 255);
  EXPECT_EQ(rig_.log.entries, (Entries{"fs.FileExists? "}));
}

TEST_F(ShowImageTest, IndexOutsideTheListFails) {
  for (const std::int16_t index : {-1, 1001, -32768, 32767}) {
    rig_.state.CurrentIndex = index;
    EXPECT_EQ(Show(), 0) << index;
  }
  EXPECT_TRUE(rig_.log.entries.empty());
  EXPECT_EQ(rig_.state.BackIndex, 0);
}

TEST_F(ShowImageTest, IndexThousandIsInside) {
  rig_.state.FileList[1000] = "z.jpg";
  rig_.files.existing.insert("z.jpg");
  rig_.state.CurrentIndex = 1000;
  EXPECT_EQ(Show(), 255);
  EXPECT_EQ(rig_.form.caption, "Mirvane [z.jpg]");
}

TEST(ImageRotate, TurnsWhenOrientationsDiffer) {
  const struct {
    float window_width, window_height;
    std::int32_t picture_width, picture_height;
    bool turned;
  } rows[] = {// landscape window
              {8000, 6000, 600, 800, true},
              {8000, 6000, 800, 600, false},
              {8000, 6000, 500, 500, false},
              // portrait window
              {6000, 8000, 800, 600, true},
              {6000, 8000, 600, 800, false},
              {6000, 8000, 500, 500, false},
              // square window
              {7000, 7000, 600, 800, false},
              {7000, 7000, 800, 600, false},
              {7000, 7000, 500, 500, false},
              // outer height above width by less than the caption: the outer size counts
              {7000, 7200, 800, 600, true}};
  for (const auto& row : rows) {
    fakes::Rig rig;
    rig.menu.checked = {SMenu_Rotate};
    rig.form.width = row.window_width;
    rig.form.height = row.window_height;
    rig.slot1.picture_width = row.picture_width;
    rig.slot1.picture_height = row.picture_height;
    std::uint8_t index = 1;
    ImageRotate(rig.Controls(), index);
    EXPECT_EQ(rig.slot1.turns, row.turned ? 1 : 0)
        << "window " << row.window_width << "x" << row.window_height << " picture "
        << row.picture_width << "x" << row.picture_height;
    EXPECT_EQ(rig.slot0.turns, 0);
    EXPECT_EQ(index, 1);
  }
}

TEST(ImageRotate, ReadsAgainOnlyWhenTheFirstTestFails) {
  fakes::Rig rig;
  rig.menu.checked = {SMenu_Rotate};
  rig.form.width = 6000;
  rig.form.height = 8000;
  std::uint8_t index = 0;
  ImageRotate(rig.Controls(), index);
  EXPECT_EQ(rig.log.entries,
            (Entries{"menu.Checked? 2", "form.Height?", "form.Width?", "slot0.PictureHeight?",
                     "slot0.PictureWidth?", "form.Height?", "form.Width?", "slot0.PictureHeight?",
                     "slot0.PictureWidth?", "slot0.Turn 900"}));
}

TEST(ImageRotate, OffReadsNothingMore) {
  fakes::Rig rig;
  rig.slot0.picture_width = 600;
  rig.slot0.picture_height = 800;
  std::uint8_t index = 0;
  ImageRotate(rig.Controls(), index);
  EXPECT_EQ(rig.log.entries, (Entries{"menu.Checked? 2"}));
}

TEST(ImageRotate, ErrorsEndItQuietly) {
  for (const char* failing : {"PictureHeight", "PictureWidth", "Turn"}) {
    fakes::Rig rig;
    rig.menu.checked = {SMenu_Rotate};
    rig.slot0.picture_width = 600;
    rig.slot0.picture_height = 800;
    rig.slot0.failing = {failing};
    std::uint8_t index = 0;
    ImageRotate(rig.Controls(), index);
    EXPECT_EQ(rig.log.Count("slot0.Turn"), std::string(failing) == "Turn" ? 1u : 0u) << failing;
  }
}

TEST(ImageRotate, SlotIndexOutsideIsHarmless) {
  fakes::Rig rig;
  rig.menu.checked = {SMenu_Rotate};
  std::uint8_t index = 2;
  ImageRotate(rig.Controls(), index);
  EXPECT_EQ(rig.log.Count("slot"), 0u);
}

TEST_F(ShowImageTest, ErrorInRotationStillShowsThePicture) {
  rig_.menu.checked = {SMenu_Rotate};
  rig_.slot0.failing = {"PictureHeight"};
  EXPECT_EQ(Show(), 255);
  EXPECT_EQ(rig_.log.Effects(),
            (Entries{"slot0.SourcePath a.jpg", "slot0.Render", "caption Mirvane [a.jpg]",
                     "slot0.Visible 1", "slot1.Visible 0"}));
  EXPECT_EQ(rig_.state.BackIndex, 1);
}

}  // namespace
}  // namespace mirvane::viewer
