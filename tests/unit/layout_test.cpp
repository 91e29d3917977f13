#include "viewer/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"

namespace mirvane::viewer {
namespace {

using Entries = std::vector<std::string>;

TEST(FormResize, BothSlotsInOrderReadingTheSizeAnewPerSlot) {
  fakes::Rig rig;
  rig.form.width = 7245;
  rig.form.height = 5670;
  Form_Resize(rig.Controls());
  EXPECT_EQ(rig.log.entries,
            (Entries{"form.WindowState?", "slot0.Top 1", "slot0.Left 1", "form.Width?",
                     "slot0.Width 7125", "form.Height?", "slot0.Height 5270", "slot0.Refit 0",
                     "slot1.Top 1", "slot1.Left 1", "form.Width?", "slot1.Width 7125",
                     "form.Height?", "slot1.Height 5270", "slot1.Refit 0"}));
}

TEST(FormResize, MaximisedUsesTheMaximisedOuterSize) {
  fakes::Rig rig;
  rig.form.state = 2;
  rig.form.width = 28920;
  rig.form.height = 16440;
  Form_Resize(rig.Controls());
  for (const fakes::FakeRastrel* slot : {&rig.slot0, &rig.slot1}) {
    EXPECT_EQ(slot->left, 1);
    EXPECT_EQ(slot->top, 1);
    EXPECT_EQ(slot->width, 28800);
    EXPECT_EQ(slot->height, 16040);
  }
}

TEST(FormResize, MinimisedChangesNothing) {
  fakes::Rig rig;
  rig.form.state = 1;
  Form_Resize(rig.Controls());
  EXPECT_EQ(rig.log.entries, Entries{"form.WindowState?"});
}

TEST(FormResize, TinyWindowPassesSizesBelowZero) {
  fakes::Rig rig;
  rig.form.width = 90;
  rig.form.height = 0;
  Form_Resize(rig.Controls());
  EXPECT_EQ(rig.slot1.width, -30);
  EXPECT_EQ(rig.slot1.height, -400);
  EXPECT_EQ(rig.log.Count("slot1.Refit 0"), 1u);
}

TEST(FormResize, FractionalTwipsAreKept) {
  fakes::Rig rig;
  rig.form.width = 7245.5f;
  rig.form.height = 5670.25f;
  Form_Resize(rig.Controls());
  EXPECT_EQ(rig.slot0.width, 7125.5f);
  EXPECT_EQ(rig.slot0.height, 5270.25f);
}

}  // namespace
}  // namespace mirvane::viewer
