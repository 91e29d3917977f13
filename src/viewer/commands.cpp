#include "viewer/commands.h"

#include <array>

#include "settings/set_interval.h"
#include "settings/text_conversions.h"
#include "viewer/menu_entries.h"
#include "viewer/settings_io.h"

namespace mirvane::viewer {
namespace {

constexpr std::int16_t kRightButton = 2;

bool Toggle(const LumivoState& state, const Controls& controls, MenuEntry entry) {
  const bool on = !controls.SMenu.Checked(entry);
  controls.SMenu.Checked(entry, on);
  SaveSettings(state, controls);
  return on;
}

}  // namespace

std::string DocumentText() {
  constexpr std::array<const char*, 5> kLines = {
      "イメージファイルをドロップすると、連続表示します。",
      "表示する時間は、タイマー設定で変更してください。",
      "自動回転で、最大表示するように回転します。",
      "ループをonにすると、画像を繰り返し表示します。",
      "表示できる画像は、BMP,JPG,PCX,TIFF,GIF,ORVAなどです。",
  };
  std::string text;
  for (const char* line : kLines) {
    if (!text.empty()) text += '\r';
    text += line;
  }
  return text;
}

std::string VersionText() { return std::string("Mirvane ") + MIRVANE_VERSION; }

void Form_MouseDown(const Controls& controls, std::int16_t Button) {
  if (Button == kRightButton) controls.SMenu.Popup();
}

void SMenu_Loop_Click(LumivoState& state, const Controls& controls) {
  state.Seen.loop = Toggle(state, controls, SMenu_Loop);
}

void SMenu_Rotate_Click(LumivoState& state, const Controls& controls) {
  state.Seen.rotate = Toggle(state, controls, SMenu_Rotate);
}

void SMenu_Timer_Click(LumivoState& state, const Controls& controls) {
  controls.Argument.Text(settings::IntegerText(state.Interval));
  settings::SetInterval dialog(controls.SetInterval, controls.Argument, controls.Box);
  controls.SetInterval.Show(dialog);
  state.Interval = settings::IntervalFromText(controls.Argument.Text(), state.Interval);
  controls.Timer1.Interval(state.Interval);
  SaveSettings(state, controls);
}

void SMenu_Document_Click(const Controls& controls) {
  controls.Box.MsgBox(DocumentText(), platform::MessageKind::Information, "ちょっと説明");
}

void SMenu_Version_Click(const Controls& controls) {
  controls.Box.MsgBox(VersionText(), platform::MessageKind::Information, "ﾊﾞｰｼﾞｮﾝ情報");
}

void SMenu_End_Click(const Controls& controls) { controls.Form.Unload(); }

}  // namespace mirvane::viewer
