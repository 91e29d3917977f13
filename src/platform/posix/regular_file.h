#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/file_identity.h"
#include "image/host.h"

namespace mirvane::platform::posix {

// A regular file opened for reading. Opening never blocks: a FIFO, device or
// directory put where a file was expected is refused, not waited on.
class RegularFile final : public image::SourceFile {
 public:
  explicit RegularFile(const std::string& name);
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;
  ~RegularFile() override;

  bool is_open() const { return fd_ >= 0; }
  // Why it is not open, when it is not.
  const std::string& error() const { return error_; }
  // The size when it was opened.
  std::int64_t size() const override { return size_; }
  // The file as it stood when opened.
  const image::FileIdentity& identity_at_open() const override { return identity_; }
  // The file as it stands now; another identity than at opening when it was written since.
  image::FileIdentity IdentityNow() const override;
  // Reads until `capacity` bytes or the end of the file; the count read, or -1 on a
  // read error.
  std::int64_t ReadInto(char* buffer, std::size_t capacity) override;

 private:
  int fd_ = -1;
  std::int64_t size_ = 0;
  image::FileIdentity identity_;
  std::string error_;
};

}  // namespace mirvane::platform::posix
