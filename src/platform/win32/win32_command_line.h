#pragma once

#include <string>
#include <string_view>

#include "platform/command_line.h"

namespace mirvane::platform::win32 {

// What follows the program's name in a Windows command line, as WinMain is given
// it: the name ends at its closing quote, or else at the first blank or control
// character, and the blanks and control characters after it are skipped. Nothing else is trimmed or
// split.
std::wstring ArgumentsOf(std::wstring_view command_line);

// platform::CommandLine from GetCommandLineW.
class Win32CommandLine final : public platform::CommandLine {
 public:
  std::string ArgumentText() const override;
};

}  // namespace mirvane::platform::win32
