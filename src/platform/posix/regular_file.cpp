#include "platform/posix/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mirvane::platform::posix {
namespace {

image::FileIdentity IdentityOf(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
          static_cast<std::int64_t>(info.st_size),
          static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

}  // namespace

RegularFile::RegularFile(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) {
    error_ = "no such file";
    return;
  }
  // O_NONBLOCK: opening a FIFO with no writer would otherwise wait for one.
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error_ = std::strerror(errno);
    return;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error_ = std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    error_ = "not a regular file";
  } else {
    fd_ = fd;
    size_ = info.st_size;
    identity_ = IdentityOf(info);
    return;
  }
  ::close(fd);
}

RegularFile::~RegularFile() {
  if (fd_ >= 0) ::close(fd_);
}

image::FileIdentity RegularFile::IdentityNow() const {
  struct stat info {};
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) return {};
  return IdentityOf(info);
}

std::int64_t RegularFile::ReadInto(char* buffer, std::size_t capacity) {
  if (fd_ < 0) return -1;
  std::size_t got = 0;
  while (got < capacity) {
    const ssize_t n = ::read(fd_, buffer + got, capacity - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;  // shrank since it was opened
    got += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(got);
}

}  // namespace mirvane::platform::posix
