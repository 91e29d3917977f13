#include "viewer/drop.h"

#include <exception>

namespace mirvane::viewer {

void Form_OLEDragDrop(LumivoState& state, const Controls& controls, platform::DropData& Data) {
  // Any error sets the end flag and the handler goes on with the next step; the
  // failing fetch past the last name is how the list's end is found.
  bool ended = false;
  auto step = [&ended](auto&& action) {
    try {
      action();
    } catch (const std::exception&) {
      ended = true;
    }
  };

  bool files = false;
  step([&] { files = Data.GetFormat(platform::kFileListFormat); });
  if (!files) {
    step([&] {
      controls.Box.MsgBox("ファイル以外はドロップできません。", platform::MessageKind::Exclamation,
                          "ドロップエラー");
    });
    return;
  }

  state.FileCount = 0;
  state.CurrentIndex = 0;
  state.WrappedToStart = false;
  for (;;) {
    ++state.FileCount;
    step([&] { state.FileList[state.FileCount] = Data.Files(state.FileCount); });
    if (state.FileCount == kListCapacity || ended) break;
  }
  --state.FileCount;
  step([&] { controls.Timer1.Interval(1); });
  step([&] { controls.Timer1.Enabled(true); });
  step([&] { controls.Timer1.Interval(state.Interval); });
}

}  // namespace mirvane::viewer
