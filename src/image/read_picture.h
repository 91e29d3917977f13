#pragma once

#include <string>

#include "image/host.h"

namespace mirvane::image {

// The whole content of `file` named `name`, read only once its first bytes show a picture
// within budget that some reader takes, so that a file of any size that is no picture is
// refused at once. Throws Error naming the file: empty, oversized, unreadable, no picture.
std::string ReadPicture(SourceFile& file, const std::string& name, const Host& host);

// The same for a name, opened through the host.
std::string ReadPicture(const std::string& name, const Host& host);

}  // namespace mirvane::image
