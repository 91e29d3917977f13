#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/file_identity.h"
#include "image/host.h"
#include "platform/win32/win32.h"

namespace mirvane::platform::win32 {

// A regular disk file opened for reading by its UTF-8 name. Opening never blocks
// and refuses directories, pipes, consoles and devices.
class RegularFile final : public image::SourceFile {
 public:
  explicit RegularFile(const std::string& name);
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;
  ~RegularFile() override;

  bool is_open() const { return file_ != INVALID_HANDLE_VALUE; }
  // Why it is not open, when it is not.
  const std::string& error() const { return error_; }
  // The size when it was opened.
  std::int64_t size() const override { return size_; }
  // The file as it stood when opened: volume, file index, size and last write.
  const image::FileIdentity& identity_at_open() const override { return identity_; }
  // The file as it stands now; another identity than at opening when it was written since.
  image::FileIdentity IdentityNow() const override;
  // Reads until `capacity` bytes or the end of the file; the count read, or -1 on a
  // read error.
  std::int64_t ReadInto(char* buffer, std::size_t capacity) override;
  // The same from `offset` on; later reads go on from where this one ended.
  std::int64_t ReadAt(std::int64_t offset, char* buffer, std::size_t capacity);

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::int64_t size_ = 0;
  image::FileIdentity identity_;
  std::string error_;
};

}  // namespace mirvane::platform::win32
