#include "platform/qt/image/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/error.h"
#include "platform/qt/image/budget.h"

namespace mirvane::platform::qt::image {
namespace {

[[noreturn]] void Fail(const std::string& name, const std::string& why) {
  throw Error(name + ": " + why);
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

QByteArray ReadRegularFile(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) Fail(name, "no such file");
  // O_NONBLOCK: opening a FIFO with no writer must not hang; it is refused below anyway.
  const Descriptor fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) Fail(name, std::strerror(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) Fail(name, std::strerror(errno));
  if (!S_ISREG(st.st_mode)) Fail(name, "not a regular file");
  if (st.st_size <= 0) Fail(name, "empty file");
  if (st.st_size > kMaxFileBytes) Fail(name, "file too large");

  QByteArray bytes(static_cast<qsizetype>(st.st_size), Qt::Uninitialized);
  qsizetype got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + got, static_cast<size_t>(bytes.size() - got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(name, std::strerror(errno));
    if (n == 0) break;  // shrank while we read: decode what is there
    got += n;
  }
  if (got == 0) Fail(name, "empty file");
  bytes.truncate(got);
  return bytes;
}

}  // namespace mirvane::platform::qt::image
