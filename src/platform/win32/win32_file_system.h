#pragma once

#include "platform/file_system.h"

namespace mirvane::platform::win32 {

// platform::FileSystem over the wide Win32 calls; names are UTF-8. A name matches
// as FindFirstFileExW matches it (`*` and `?` as wildcards, no brackets); hidden,
// system and directory entries count as absent.
class Win32FileSystem : public FileSystem {
 public:
  bool FileExists(const std::string& name) const override;
  std::optional<std::string> ReadTextFile(const std::string& name) const override;
  // Writes a temporary file beside the target, flushes it and moves it over the
  // target, which keeps its attributes. A read-only target is left as it is and false
  // returned. When the folder takes no new file but the file can be written, the file
  // is rewritten in place.
  bool WriteTextFile(const std::string& name, const std::string& content) override;
};

}  // namespace mirvane::platform::win32
