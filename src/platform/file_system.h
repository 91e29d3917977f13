#pragma once

#include <optional>
#include <string>

namespace mirvane::platform {

// Names are byte strings in the system's encoding; relative ones start from the
// current directory.
class FileSystem {
 public:
  FileSystem() = default;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;
  virtual ~FileSystem() = default;

  // Whether an ordinary, not hidden file matches `name`; `*`, `?` and `[...]` match
  // as a pattern. Never opens a file and never blocks on one.
  virtual bool FileExists(const std::string& name) const = 0;
  // The whole content, or nothing when the file cannot be read.
  virtual std::optional<std::string> ReadTextFile(const std::string& name) const = 0;
  // Replaces the file with `content` so that a failure leaves the old file whole.
  // Returns false when it could not be written.
  virtual bool WriteTextFile(const std::string& name, const std::string& content) = 0;
};

}  // namespace mirvane::platform
