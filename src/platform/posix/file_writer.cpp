#include "platform/posix/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <optional>

namespace mirvane::platform::posix {
namespace {

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : name.substr(0, slash);
}

// A fresh file beside `name`. Created by open() itself, so that a new file gets the
// umask (and any default ACL) without the process's umask being touched.
int CreateTemporary(const std::string& name, mode_t mode, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  const auto seed =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned long long tag =
        (seed ^ (static_cast<unsigned long long>(getpid()) << 20)) + 7919ULL * ++counter;
    temporary = name + ".tmp-" + std::to_string(tag % 100000000ULL);
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Writes over the file itself: not atomic, but the only way left when its directory
// takes no new file. Written before it is cut to length, so it is never empty on the way.
bool RewriteInPlace(const std::string& name, const std::string& content) {
  const int fd = open(name.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && WriteAll(fd, content) &&
            ftruncate(fd, static_cast<off_t>(content.size())) == 0 && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  return ok;
}

enum class Replaced { kYes, kNo, kDirectoryRefused };

Replaced ReplaceByRename(const std::string& name, const std::string& content,
                         const std::optional<struct stat>& old) {
  std::string temporary;
  const int fd = CreateTemporary(name, old ? 0600 : 0666, temporary);
  if (fd < 0) {
    return errno == EACCES || errno == EPERM ? Replaced::kDirectoryRefused : Replaced::kNo;
  }
  bool ok = true;
  if (old) {
    // Owner first: a change of owner clears the set-id bits that the mode then restores.
    // Only root may give a file away; for anyone else the new file is simply theirs.
    ok = fchown(fd, old->st_uid, old->st_gid) == 0 || errno == EPERM;
    ok = ok && fchmod(fd, old->st_mode & 07777) == 0;
  }
  ok = ok && WriteAll(fd, content) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && rename(temporary.c_str(), name.c_str()) == 0) return Replaced::kYes;
  const int why = errno;
  unlink(temporary.c_str());
  // A sticky directory refuses to replace another user's file.
  return ok && (why == EACCES || why == EPERM) ? Replaced::kDirectoryRefused : Replaced::kNo;
}

}  // namespace

bool WriteWholeFile(const std::string& link, const std::string& content) {
  if (link.empty() || link.find('\0') != std::string::npos) return false;
  // Write through a symbolic link rather than replace it by a plain file.
  std::string name = link;
  if (char* real = realpath(link.c_str(), nullptr)) {
    name = real;
    free(real);
  }

  std::optional<struct stat> old;
  struct stat info {};
  if (lstat(name.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) return false;
    // No write bit at all marks the file read-only, for root as well.
    if ((info.st_mode & kAnyWrite) == 0) return false;
    if (faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) != 0) return false;
    old = info;
  } else if (errno != ENOENT) {
    return false;
  }

  // Likewise a directory with no write bit takes no temporary file.
  struct stat directory {};
  const bool directory_locked =
      stat(DirectoryOf(name).c_str(), &directory) == 0 && (directory.st_mode & kAnyWrite) == 0;
  if (!directory_locked) {
    const Replaced replaced = ReplaceByRename(name, content, old);
    if (replaced != Replaced::kDirectoryRefused) return replaced == Replaced::kYes;
  }
  return old && RewriteInPlace(name, content);
}

}  // namespace mirvane::platform::posix
