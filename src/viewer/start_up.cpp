#include "viewer/start_up.h"

#include "viewer/command_line.h"
#include "viewer/settings_io.h"

namespace mirvane::viewer {

void Form_Load(LumivoState& state, const Controls& controls) {
  LoadSettings(state, controls);
  controls.Timer1.Interval(state.Interval);
  state.BackIndex = 0;
  // Blanks only still count as a command line.
  if (controls.Command.ArgumentText() != "") {
    controls.Timer1.Enabled(true);
    ParseCommandLine(state, controls.Command.ArgumentText());
  }
}

}  // namespace mirvane::viewer
