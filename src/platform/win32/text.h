#pragma once

#include <string>
#include <string_view>

// The core speaks UTF-8; Windows' wide calls speak UTF-16. These convert at the seam.
namespace mirvane::platform::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// `text` with each carriage return that no line feed follows made a CR LF pair, so
// that a lone CR starts a new line in a message box as in the classic one.
std::wstring MessageLines(std::string_view text);

// A menu caption with "&" doubled: the menu has no access keys.
std::wstring MenuCaption(std::string_view caption);

}  // namespace mirvane::platform::win32
