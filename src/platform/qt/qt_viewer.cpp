#include "platform/qt/qt_viewer.h"

#include <cstdint>

#include "platform/qt/image/qt_host.h"

namespace mirvane::platform::qt {
namespace {

constexpr float kClientWidthTwips = 7005;
constexpr float kClientHeightTwips = 4950;

}  // namespace

QtViewer::QtViewer(const platform::CommandLine& command)
    : box_(&form_),
      dialog_(&form_),
      next_(QtHost(), [this](int slot) { return form_.Slot(slot).Box(); }),
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
    QObject::connect(&form_.Slot(index), &QtRastrel::mouseDown, &form_,
                     [&lumivo, index](int button, int shift, float x, float y) {
                       lumivo.ImageControl_MouseDown(index, static_cast<std::int16_t>(button),
                                                     static_cast<std::int16_t>(shift), x, y);
                     });
  }
  form_.OnDrop([&lumivo](platform::DropData& data, std::int32_t& effect, std::int16_t button,
                         std::int16_t shift, float x,
                         float y) { lumivo.Form_OLEDragDrop(data, effect, button, shift, x, y); });
}

void QtViewer::PrepareAhead(bool on) {
  next_.Enabled(on);
  form_.Slot(0).Ahead(on ? &next_ : nullptr);
  form_.Slot(1).Ahead(on ? &next_ : nullptr);
}

void QtViewer::Start() {
  // The load handler runs before the window is first seen; the first resize then
  // lays out the slots.
  lumivo_.Form_Load();
  form_.ResizeClientTwips(kClientWidthTwips, kClientHeightTwips);
  form_.show();
}

}  // namespace mirvane::platform::qt
