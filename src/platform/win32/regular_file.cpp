#include "platform/win32/regular_file.h"

#include <algorithm>

#include "platform/win32/text.h"

namespace mirvane::platform::win32 {
namespace {

// FILETIME counts 100 ns from 1601; kept from 1970 so that nanoseconds fit.
constexpr std::int64_t kUnixEpochIn100ns = 116444736000000000;

image::FileIdentity IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return {};
  const auto join = [](DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
  };
  return {info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
          static_cast<std::int64_t>(join(info.nFileSizeHigh, info.nFileSizeLow)),
          (static_cast<std::int64_t>(
               join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)) -
           kUnixEpochIn100ns) *
              100};
}

}  // namespace

RegularFile::RegularFile(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) {
    error_ = "no such file";
    return;
  }
  const std::wstring wide = Widen(name);
  // Devices ("CON", "\\.\pipe\x") and directories are refused before anything opens them.
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error_ = "no such file";
    return;
  }
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
    error_ = "not a regular file";
    return;
  }
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error_ = "cannot open (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    error_ = "not a regular file";
    return;
  }
  file_ = file;
  size_ = size.QuadPart;
  identity_ = IdentityOf(file_);
}

image::FileIdentity RegularFile::IdentityNow() const {
  return is_open() ? IdentityOf(file_) : image::FileIdentity{};
}

RegularFile::~RegularFile() {
  if (is_open()) CloseHandle(file_);
}

std::int64_t RegularFile::ReadInto(char* buffer, std::size_t capacity) {
  if (!is_open()) return -1;
  std::size_t done = 0;
  while (done < capacity) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(capacity - done, 1 << 24));
    DWORD got = 0;
    if (!ReadFile(file_, buffer + done, chunk, &got, nullptr)) return -1;
    if (got == 0) break;
    done += got;
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t RegularFile::ReadAt(std::int64_t offset, char* buffer, std::size_t capacity) {
  LARGE_INTEGER at{};
  at.QuadPart = offset;
  if (!is_open() || offset < 0 || !SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) return -1;
  return ReadInto(buffer, capacity);
}

}  // namespace mirvane::platform::win32
