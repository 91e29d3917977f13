#include "platform/win32/text.h"

#include <climits>

#include "platform/win32/win32.h"

namespace mirvane::platform::win32 {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty() || utf16.size() > INT_MAX) return {};
  const int size = static_cast<int>(utf16.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::wstring MessageLines(std::string_view text) {
  std::string lines;
  lines.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    lines += text[i];
    if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) lines += '\n';
  }
  return Widen(lines);
}

std::wstring MenuCaption(std::string_view caption) {
  std::wstring escaped;
  for (const wchar_t c : Widen(caption)) {
    escaped += c;
    if (c == L'&') escaped += L'&';
  }
  return escaped;
}

}  // namespace mirvane::platform::win32
