#pragma once

#include <Qt>
#include <cstdint>

namespace mirvane::platform::qt {

// The classic button code: 1 left, 2 right, 4 middle; 0 for any other button.
inline std::int16_t ButtonCode(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 4;
    default:
      return 0;
  }
}

// The classic shift state: 1 Shift, 2 Ctrl, 4 Alt, added up.
inline std::int16_t ShiftCode(Qt::KeyboardModifiers modifiers) {
  std::int16_t code = 0;
  if (modifiers & Qt::ShiftModifier) code |= 1;
  if (modifiers & Qt::ControlModifier) code |= 2;
  if (modifiers & Qt::AltModifier) code |= 4;
  return code;
}

}  // namespace mirvane::platform::qt
