#include "viewer/presentation.h"

#include <exception>

#include "platform/error.h"
#include "viewer/menu_entries.h"

namespace mirvane::viewer {

void ShowImage(LumivoState& state, const Controls& controls, std::uint8_t& result) {
  try {
    result = kShowComplete;
    if (state.CurrentIndex < 0 || state.CurrentIndex > kListCapacity) {
      throw platform::Error("index outside the list");
    }
    const std::string& name = state.FileList[state.CurrentIndex];
    if (!controls.Files.FileExists(name)) return;
    platform::Rastrel& back = *controls.ImageControl[state.BackIndex];
    back.SourcePath(name);
    back.Render();
    controls.Form.Caption("Mirvane [" + name + "]");
    ImageRotate(controls, state.BackIndex);
    back.Visible(true);
    state.BackIndex = state.BackIndex == 0 ? 1 : 0;
    controls.ImageControl[state.BackIndex]->Visible(false);
  } catch (const std::exception&) {
    result = kShowFailed;
  }
}

void ImageRotate(const Controls& controls, std::uint8_t& index) {
  if (!controls.SMenu.Checked(SMenu_Rotate)) return;
  try {
    platform::Rastrel& slot = *controls.ImageControl.at(index);
    float height = controls.Form.Height();
    float width = controls.Form.Width();
    std::int32_t picture_height = slot.PictureHeight();
    std::int32_t picture_width = slot.PictureWidth();
    if (width > height && picture_width < picture_height) {
      slot.Turn(900);
      return;
    }
    height = controls.Form.Height();
    width = controls.Form.Width();
    picture_height = slot.PictureHeight();
    picture_width = slot.PictureWidth();
    if (width < height && picture_width > picture_height) slot.Turn(900);
  } catch (const std::exception&) {
  }
}

}  // namespace mirvane::viewer
