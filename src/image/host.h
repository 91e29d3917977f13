#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "image/decode.h"
#include "image/file_identity.h"

namespace mirvane::image {

// A file the platform opened for reading. Opening never blocks: what is not a regular
// file is refused, not waited on.
class SourceFile {
 public:
  SourceFile() = default;
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;
  virtual ~SourceFile() = default;

  // The size when it was opened.
  virtual std::int64_t size() const = 0;
  // The file as it stood when opened.
  virtual const FileIdentity& identity_at_open() const = 0;
  // The file as it stands now: another identity when it was written or replaced since.
  virtual FileIdentity IdentityNow() const = 0;
  // Reads on until `capacity` bytes or the end; the count read, or -1 on a read error.
  virtual std::int64_t ReadInto(char* buffer, std::size_t capacity) = 0;
};

// What the platform gives the pipeline: its files, its extra renderers, its thread.
struct Host {
  // Opens a file by the name as given; throws Error saying why it cannot.
  std::function<std::unique_ptr<SourceFile>(const std::string& name)> open;
  // True when the system's own codecs can read a file starting with `head` that none of
  // ours takes; unset where there are none.
  std::function<bool(std::string_view head, SourceFile& file)> system_reads;
  Extras extras;
  // Runs `work` on the user-interface thread, later; must not throw.
  std::function<void(std::function<void()> work)> post;
};

}  // namespace mirvane::image
