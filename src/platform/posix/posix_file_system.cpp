#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <memory>

#include "platform/posix/file_writer.h"
#include "platform/posix/regular_file.h"

namespace mirvane::platform::posix {
namespace {

constexpr std::int64_t kMaxTextFile = 1 << 20;  // far above three short lines

bool IsOrdinaryFile(const std::string& path, std::size_t leaf) {
  struct stat info {};
  return path[leaf] != '.' && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// One pass over one directory, ending at the first ordinary, visible match.
bool AnyMatchIn(const std::string& directory, const std::string& pattern) {
  const std::unique_ptr<DIR, DirCloser> dir(opendir(directory.c_str()));
  if (!dir) return false;
  while (const dirent* entry = readdir(dir.get())) {
    if (entry->d_name[0] == '.' || fnmatch(pattern.c_str(), entry->d_name, FNM_NOESCAPE) != 0) {
      continue;
    }
    if (entry->d_type == DT_REG) return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) continue;
    struct stat info {};
    if (fstatat(dirfd(dir.get()), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool PosixFileSystem::FileExists(const std::string& name) const {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  const std::size_t slash = name.rfind('/');
  const std::size_t leaf = slash == std::string::npos ? 0 : slash + 1;
  // A name that stands for a file as written is that file, pattern characters or not.
  if (IsOrdinaryFile(name, leaf)) return true;
  const std::string pattern = name.substr(leaf);
  if (pattern.find_first_of("*?[") == std::string::npos) return false;
  const std::string directory =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : name.substr(0, slash));
  return AnyMatchIn(directory, pattern);
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

bool PosixFileSystem::WriteTextFile(const std::string& name, const std::string& content) {
  return WriteWholeFile(name, content);
}

}  // namespace mirvane::platform::posix
