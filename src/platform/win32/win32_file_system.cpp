#include "platform/win32/win32_file_system.h"

#include <algorithm>

#include "platform/win32/regular_file.h"
#include "platform/win32/text.h"
#include "platform/win32/win32.h"

namespace mirvane::platform::win32 {
namespace {

constexpr std::int64_t kMaxTextFile = 1 << 20;  // far above three short lines

constexpr DWORD kAbsent = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

bool WriteAll(HANDLE file, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(file, content.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// The file written over from its start and cut to its new length: a failure can leave
// it half written, so only for when no temporary file can be made.
bool RewriteInPlace(const std::wstring& target, const std::string& content) {
  const HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, content) && SetEndOfFile(file) && FlushFileBuffers(file);
  CloseHandle(file);
  return written;
}

// A fresh, unused name beside `target`.
std::wstring TemporaryBeside(const std::wstring& target) {
  static LONG counter = 0;
  return target + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(InterlockedIncrement(&counter));
}

}  // namespace

bool Win32FileSystem::FileExists(const std::string& name) const {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileExW(Widen(name).c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool exists = false;
  do {
    exists = (found.dwFileAttributes & kAbsent) == 0;
  } while (!exists && FindNextFileW(search, &found));
  FindClose(search);
  return exists;
}

std::optional<std::string> Win32FileSystem::ReadTextFile(const std::string& name) const {
  RegularFile file(name);
  if (!file.is_open() || file.size() > kMaxTextFile) return std::nullopt;
  std::string content(static_cast<std::size_t>(file.size()), '\0');
  const std::int64_t got = file.ReadInto(content.data(), content.size());
  if (got < 0) return std::nullopt;
  content.resize(static_cast<std::size_t>(got));
  return content;
}

bool Win32FileSystem::WriteTextFile(const std::string& name, const std::string& content) {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  const std::wstring target = Widen(name);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return false;
  }
  const std::wstring temporary = TemporaryBeside(target);
  const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    // A folder that takes no new file may still let the file itself be written.
    const bool refused = GetLastError() == ERROR_ACCESS_DENIED;
    return refused && attributes != INVALID_FILE_ATTRIBUTES && RewriteInPlace(target, content);
  }
  const bool written = WriteAll(file, content) && FlushFileBuffers(file);
  CloseHandle(file);
  // The target keeps its attributes (a hidden file stays hidden); a new file is
  // simply moved into place.
  const bool replaced =
      written && (attributes != INVALID_FILE_ATTRIBUTES
                      ? ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) ||
                            MoveFileExW(temporary.c_str(), target.c_str(),
                                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                      : MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH));
  if (!replaced) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  // Wine's ReplaceFileW does not carry the attributes over; Windows' does.
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(target.c_str(), attributes);
  return true;
}

}  // namespace mirvane::platform::win32
