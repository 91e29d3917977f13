#include "platform/posix/posix_file_system.h"

#include "platform/posix/regular_file.h"

#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace mirvane::platform::posix {
namespace {

constexpr std::int64_t kMaxTextFile = 1 << 20;  // far above three short lines

bool IsHidden(const char* path) {
  const char* slash = nullptr;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/' && p[1] != '\0') slash = p;
  }
  return (slash != nullptr ? slash[1] : path[0]) == '.';
}

bool IsOrdinaryFile(const char* path) {
  struct stat info {};
  return stat(path, &info) == 0 && S_ISREG(info.st_mode) && !IsHidden(path);
}

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

}  // namespace

bool PosixFileSystem::FileExists(const std::string& name) const {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  // A name that stands for a file as written is that file, pattern characters or not.
  if (IsOrdinaryFile(name.c_str())) return true;
  glob_t matches{};
  const int status = glob(name.c_str(), GLOB_NOESCAPE | GLOB_NOSORT, nullptr, &matches);
  bool found = false;
  if (status == 0) {
    for (std::size_t i = 0; i < matches.gl_pathc && !found; ++i) {
      found = IsOrdinaryFile(matches.gl_pathv[i]);
    }
  }
  globfree(&matches);
  return found;
}

std::optional<std::string> PosixFileSystem::ReadTextFile(const std::string& name) const {
  RegularFile file(name);
  if (!file.is_open() || file.size() > kMaxTextFile) return std::nullopt;
  std::string content(static_cast<std::size_t>(file.size()), '\0');
  const std::int64_t got = file.ReadInto(content.data(), content.size());
  if (got < 0) return std::nullopt;
  content.resize(static_cast<std::size_t>(got));
  return content;
}

bool PosixFileSystem::WriteTextFile(const std::string& link, const std::string& content) {
  // Write through a symbolic link rather than replace it by a plain file.
  std::string name = link;
  if (char* real = realpath(link.c_str(), nullptr)) {
    name = real;
    free(real);
  }
  std::string temporary = name + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return false;
  // mkstemp makes the file private; give it the mode a newly created file gets.
  const mode_t mask = umask(0);
  umask(mask);
  bool ok = fchmod(fd, 0666 & ~mask) == 0 && WriteAll(fd, content) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), name.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

}  // namespace mirvane::platform::posix
