#pragma once

#include "image/host.h"

namespace mirvane::platform::win32 {

// The picture pipeline's host on Windows: Windows files, the system's WIC codecs for what
// no reader of ours takes, and a message-only window through which the workers' word
// reaches the user-interface thread. First called on that thread, with COM initialised.
const image::Host& Win32Host();

}  // namespace mirvane::platform::win32
