#include "viewer/layout.h"

#include <cstdint>

namespace mirvane::viewer {
namespace {

constexpr std::int16_t kMinimized = 1;
constexpr float kOffset = 1;
constexpr float kWidthAllowance = 120;
constexpr float kHeightAllowance = 400;

}  // namespace

void Form_Resize(const Controls& controls, Outlook& seen) {
  if (controls.Form.WindowState() == kMinimized) return;
  for (std::uint8_t i = 0; i <= 1; ++i) {
    platform::Rastrel& slot = *controls.ImageControl[i];
    slot.Top(kOffset);
    slot.Left(kOffset);
    // A window smaller than the allowances gives a size below zero, which the slot
    // takes as zero.
    seen.width = controls.Form.Width();
    slot.Width(seen.width - kWidthAllowance);
    seen.height = controls.Form.Height();
    slot.Height(seen.height - kHeightAllowance);
    slot.Refit(0);
  }
}

}  // namespace mirvane::viewer
