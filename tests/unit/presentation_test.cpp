#include "viewer/presentation.h"

#include <gtest/gtest.h>

#include <ostream>
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

struct FailureCase {
  std::string operation;
  Entries effects;  // what ran before the error, the failing call included
};

class ShowImageFailureTest : public ShowImageTest,
                             public testing::WithParamInterface<FailureCase> {};

TEST_P(ShowImageFailureTest, StepsBeforeTheErrorStayTheRestDoesNotRun) {
  rig_.slot0.failing = {GetParam().operation};
  EXPECT_EQ(Show(), 0);
  EXPECT_EQ(rig_.log.Effects(), GetParam().effects);
  EXPECT_EQ(rig_.state.BackIndex, 0);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, ShowImageFailureTest,
    testing::Values(FailureCase{"SourcePath", {"slot0.SourcePath a.jpg !"}},
                    FailureCase{"Render", {"slot0.SourcePath a.jpg", "slot0.Render !"}},
                    FailureCase{"Visible",
                                {"slot0.SourcePath a.jpg", "slot0.Render",
                                 "caption Mirvane [a.jpg]", "slot0.Visible 1 !"}}),
    [](const auto& info) { return info.param.operation; });

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

struct RotationCase {
  float window_width, window_height;
  std::int32_t picture_width, picture_height;
  bool turned;
};

void PrintTo(const RotationCase& c, std::ostream* os) {
  *os << "window " << c.window_width << "x" << c.window_height << " picture " << c.picture_width
      << "x" << c.picture_height;
}

class ImageRotateTest : public testing::TestWithParam<RotationCase> {};

TEST_P(ImageRotateTest, TurnsWhenOrientationsDiffer) {
  const RotationCase& c = GetParam();
  fakes::Rig rig;
  rig.menu.checked = {SMenu_Rotate};
  rig.form.width = c.window_width;
  rig.form.height = c.window_height;
  rig.slot1.picture_width = c.picture_width;
  rig.slot1.picture_height = c.picture_height;
  std::uint8_t index = 1;
  ImageRotate(rig.Controls(), index);
  EXPECT_EQ(rig.slot1.turns, c.turned ? 1 : 0);
  EXPECT_EQ(rig.slot0.turns, 0);
  EXPECT_EQ(index, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ImageRotateTest,
    testing::Values(
        // landscape window
        RotationCase{8000, 6000, 600, 800, true}, RotationCase{8000, 6000, 800, 600, false},
        RotationCase{8000, 6000, 500, 500, false},
        // portrait window
        RotationCase{6000, 8000, 800, 600, true}, RotationCase{6000, 8000, 600, 800, false},
        RotationCase{6000, 8000, 500, 500, false},
        // square window
        RotationCase{7000, 7000, 600, 800, false}, RotationCase{7000, 7000, 800, 600, false},
        RotationCase{7000, 7000, 500, 500, false},
        // outer height above width by less than the caption: the outer size counts
        RotationCase{7000, 7200, 800, 600, true}));

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
