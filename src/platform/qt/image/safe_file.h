#pragma once

#include <QByteArray>
#include <string>
#include <string_view>

#include "platform/posix/regular_file.h"

namespace mirvane::platform::qt::image {

// Throws Error unless the first bytes of a file of `size` bytes show a picture that some
// reader can read and whose header is within budget. Reads nothing more, so that a file of
// any size that is no picture is refused at once. `name` serves only formats without a
// signature (TGA).
void CheckHead(std::string_view head, std::int64_t size, std::string_view name = {});

// The whole content of the open file `file` named `name`, read only once its first bytes
// have passed CheckHead. Throws Error for an unreadable, empty or oversized file.
QByteArray ReadPicture(posix::RegularFile& file, const std::string& name);

// ReadPicture of the regular file `name` (bytes in the locale's encoding, used as they
// are). Anything that is not a regular file (directory, FIFO, device) is refused without
// blocking on it.
QByteArray ReadRegularFile(const std::string& name);

}  // namespace mirvane::platform::qt::image
