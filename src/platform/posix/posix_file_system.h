#pragma once

#include "platform/file_system.h"

namespace mirvane::platform::posix {

// A file is hidden when its name begins with "."; only regular files count as
// existing. A name that names such a file literally matches it; otherwise the
// pattern characters are those of glob(3) without escapes, braces or "~".
class PosixFileSystem : public FileSystem {
 public:
  bool FileExists(const std::string& name) const override;
  std::optional<std::string> ReadTextFile(const std::string& name) const override;
  // Writes a temporary file beside the target, syncs it and renames it over.
  bool WriteTextFile(const std::string& name, const std::string& content) override;
};

}  // namespace mirvane::platform::posix
