#include "viewer/settings_io.h"

#include "settings/settings_file.h"
#include "viewer/menu_entries.h"

namespace mirvane::viewer {

void LoadSettings(LumivoState& state, const Controls& controls) {
  settings::Settings loaded{controls.SMenu.Checked(SMenu_Loop), state.Interval,
                            controls.SMenu.Checked(SMenu_Rotate)};
  settings::LoadSettings(controls.Files, loaded);
  state.Interval = loaded.Interval;
  controls.SMenu.Checked(SMenu_Loop, loaded.Loop);
  controls.SMenu.Checked(SMenu_Rotate, loaded.Rotate);
  state.Seen.loop = loaded.Loop;
  state.Seen.rotate = loaded.Rotate;
}

void SaveSettings(const LumivoState& state, const Controls& controls) {
  settings::SaveSettings(controls.Files, {controls.SMenu.Checked(SMenu_Loop), state.Interval,
                                          controls.SMenu.Checked(SMenu_Rotate)});
}

}  // namespace mirvane::viewer
