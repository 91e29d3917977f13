#include "platform/win32/win32_command_line.h"

#include "platform/win32/text.h"
#include "platform/win32/win32.h"

namespace mirvane::platform::win32 {

std::wstring ArgumentsOf(std::wstring_view line) {
  std::size_t i = 0;
  // The C runtime's rule for the program's name, which quotes alone delimit.
  if (!line.empty() && line[0] == L'"') {
    i = line.find(L'"', 1);
    i = i == std::wstring_view::npos ? line.size() : i + 1;
  } else {
    while (i < line.size() && line[i] > L' ') ++i;
  }
  while (i < line.size() && line[i] <= L' ') ++i;
  return std::wstring(line.substr(i));
}

std::string Win32CommandLine::ArgumentText() const {
  const wchar_t* line = GetCommandLineW();
  return line != nullptr ? Narrow(ArgumentsOf(line)) : std::string();
}

}  // namespace mirvane::platform::win32
