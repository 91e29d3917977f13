#pragma once

#include <cstdint>

namespace mirvane::image {

// A file as it stands on disk. The same name rewritten, or another file renamed over it,
// gives another identity.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t mtime_ns = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

}  // namespace mirvane::image
