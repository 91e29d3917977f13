#pragma once

#include <string>

namespace mirvane::platform::posix {

// Writes `content` as the whole of the file `name`, following symbolic links.
// Normally through a temporary file beside it, synced and renamed over it, so that a
// failure leaves the old file whole; the new file keeps the old one's mode and, where
// allowed, its owner, and a new file gets 0666 less the umask. A file with no write
// bit at all, or one this process may not write, is left alone. When the directory
// cannot take a temporary file but the file can be written, the file is rewritten in
// place. Returns false when nothing was written.
bool WriteWholeFile(const std::string& name, const std::string& content);

}  // namespace mirvane::platform::posix
