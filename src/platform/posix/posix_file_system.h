#pragma once

#include "platform/file_system.h"

namespace mirvane::platform::posix {

// A file is hidden when its name begins with "."; only regular files count as
// existing. A name that names such a file literally matches it; otherwise pattern
// characters in its last component match within that one directory, as fnmatch(3)
// without escapes; elsewhere in the name they stand for themselves.
class PosixFileSystem : public FileSystem {
 public:
  bool FileExists(const std::string& name) const override;
  std::optional<std::string> ReadTextFile(const std::string& name) const override;
  // As WriteWholeFile.
  bool WriteTextFile(const std::string& name, const std::string& content) override;
};

}  // namespace mirvane::platform::posix
