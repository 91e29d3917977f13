#pragma once

#include <QByteArray>
#include <string>

namespace mirvane::platform::qt::image {

// The whole content of the regular file `name` (bytes in the locale's encoding, used as
// they are). Throws Error for a missing, unreadable, empty or oversized file and for
// anything that is not a regular file (directory, FIFO, device), without blocking on it.
QByteArray ReadRegularFile(const std::string& name);

}  // namespace mirvane::platform::qt::image
