#include "viewer/slide_show.h"

#include <cstdint>

#include "viewer/menu_entries.h"
#include "viewer/presentation.h"

namespace mirvane::viewer {

void Timer1_Timer(LumivoState& state, const Controls& controls) {
  const std::int16_t start = state.CurrentIndex;
  if (start + 1 > state.FileCount) return;
  std::uint8_t shown = kShowFailed;
  for (;;) {
    ++state.CurrentIndex;
    state.WrappedToStart = false;
    ShowImage(state, controls, shown);
    if (state.CurrentIndex == state.FileCount) {
      if (controls.SMenu.Checked(SMenu_Loop) && state.FileCount > 1) {
        state.CurrentIndex = 0;
        state.WrappedToStart = true;
      } else {
        controls.Timer1.Enabled(false);
        return;
      }
    }
    if (state.CurrentIndex == start) return;
    if (shown != kShowFailed) return;
  }
}

void SMenu_NextImage_Click(LumivoState& state, const Controls& controls) {
  if (state.FileCount < 2) return;
  if (state.CurrentIndex >= state.FileCount || state.CurrentIndex < 0) {
    state.CurrentIndex = 1;
  } else {
    ++state.CurrentIndex;
  }
  state.WrappedToStart = false;
  std::uint8_t ignored = kShowFailed;
  ShowImage(state, controls, ignored);
}

void SMenu_BeforeImage_Click(LumivoState& state, const Controls& controls) {
  if (state.FileCount < 2) return;
  if (state.CurrentIndex == 0) {
    // Not started yet: the last name. Just wrapped with the last name on view:
    // the one before it.
    state.CurrentIndex = state.WrappedToStart ? state.FileCount - 1 : state.FileCount;
  } else if (state.CurrentIndex == 1 || state.CurrentIndex > state.FileCount ||
             state.CurrentIndex < 0) {
    state.CurrentIndex = state.FileCount;
  } else {
    --state.CurrentIndex;
  }
  state.WrappedToStart = false;
  std::uint8_t ignored = kShowFailed;
  ShowImage(state, controls, ignored);
}

}  // namespace mirvane::viewer
