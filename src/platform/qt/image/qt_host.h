#pragma once

#include "image/host.h"

namespace mirvane::platform::qt {

// The picture pipeline's host on Linux: POSIX files, librsvg for drawings, and Qt's event
// loop for word from the workers. Needs a QApplication.
const mirvane::image::Host& QtHost();

}  // namespace mirvane::platform::qt
