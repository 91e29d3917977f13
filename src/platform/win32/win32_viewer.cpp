#include "platform/win32/win32_viewer.h"

#include <cstdint>
#include <functional>
#include <utility>

#include "platform/win32/win32_host.h"

namespace mirvane::platform::win32 {
namespace {

constexpr float kClientWidthTwips = 7005;
constexpr float kClientHeightTwips = 4950;

}  // namespace

Win32Viewer::Win32Viewer(const platform::CommandLine& command)
    : next_(Win32Host(),
            [this](int slot) {
              // Posted messages come before paints: what was just shown is painted before
              // the order goes out, so that the workers do not hold it back.
              RedrawWindow(form_.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
              return form_.Slot(slot).Box();
            }),
      lumivo_(viewer::Controls{form_,
                               {&form_.Slot(0), &form_.Slot(1)},
                               form_.Timer(),
                               form_.Argument(),
                               form_.Menu(),
                               box_,
                               dialog_,
                               files_,
                               command,
                               ahead_}) {
  form_.Slot(0).Ahead(&next_);
  form_.Slot(1).Ahead(&next_);
  box_.Owner(form_.Handle());
  dialog_.Owner(form_.Handle());
  viewer::Lumivo& lumivo = lumivo_;
  form_.Timer().OnTick([&lumivo] { lumivo.Timer1_Timer(); });
  form_.Timer().HoldTicks(
      [this](std::function<void()> resume) { return next_.HoldTick(std::move(resume)); });
  form_.Menu().OnChoose([&lumivo](int id) { lumivo.SMenu_Click(id); });
  form_.OnResize([&lumivo] { lumivo.Form_Resize(); });
  form_.OnMouseDown([&lumivo](std::int16_t button, std::int16_t shift, float x, float y) {
    lumivo.Form_MouseDown(button, shift, x, y);
  });
  for (std::int16_t index = 0; index <= 1; ++index) {
    form_.Slot(index).OnMouseDown(
        [&lumivo, index](std::int16_t button, std::int16_t shift, float x, float y) {
          lumivo.ImageControl_MouseDown(index, button, shift, x, y);
        });
  }
  form_.OnDrop([&lumivo](platform::DropData& data, std::int32_t& effect, std::int16_t button,
                         std::int16_t shift, float x,
                         float y) { lumivo.Form_OLEDragDrop(data, effect, button, shift, x, y); });
}

void Win32Viewer::PrepareAhead(bool on) {
  next_.Enabled(on);
  form_.Slot(0).Ahead(on ? &next_ : nullptr);
  form_.Slot(1).Ahead(on ? &next_ : nullptr);
}

void Win32Viewer::Start() {
  // The load handler runs before the window is first seen; coming up then lays out
  // the slots.
  lumivo_.Form_Load();
  form_.ResizeClientTwips(kClientWidthTwips, kClientHeightTwips);
  form_.Show();
}

}  // namespace mirvane::platform::win32
