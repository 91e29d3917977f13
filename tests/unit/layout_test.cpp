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
  rig.form.height = 5670;
  Form_Resize(rig.Controls());
  EXPECT_EQ(rig.log.entries,
            (Entries{"form.WindowState?", "slot0.Top 1", "slot0.Left 1", "form.Width?",
                     "slot0.Width 7125", "form.Height?", "slot0.Height 5270", "slot0.Refit 0",
                     "slot1.Top 1", "slot1.Left 1", "form.Width?", "slot1.Width 7125",
                     "form.Height?", "slot1.Height 5270", "slot1.Refit 0"}));
}

// Sizes below zero (a tiny window) and fractions of a twip are passed on as they come.
TEST(FormResize, SlotsFillTheOuterSizeLessTheFrame) {
  const struct {
    std::int16_t state;
    float form_width, form_height, width, height;
  } rows[] = {{0, 7245, 5670, 7125, 5270},
              {2, 28920, 16440, 28800, 16040},
              {0, 90, 0, -30, -400},
              {0, 7245.5f, 5670.25f, 7125.5f, 5270.25f}};
  for (const auto& row : rows) {
    fakes::Rig rig;
    rig.form.state = row.state;
    rig.form.width = row.form_width;
    rig.form.height = row.form_height;
    Form_Resize(rig.Controls());
    for (const fakes::FakeRastrel* slot : {&rig.slot0, &rig.slot1}) {
      EXPECT_EQ(slot->left, 1);
      EXPECT_EQ(slot->top, 1);
      EXPECT_EQ(slot->width, row.width) << row.form_width;
      EXPECT_EQ(slot->height, row.height) << row.form_height;
    }
    EXPECT_EQ(rig.log.Count("slot1.Refit 0"), 1u);
  }
}

TEST(FormResize, MinimisedChangesNothing) {
  fakes::Rig rig;
  rig.form.state = 1;
  Form_Resize(rig.Controls());
  EXPECT_EQ(rig.log.entries, Entries{"form.WindowState?"});
}

}  // namespace
}  // namespace mirvane::viewer
