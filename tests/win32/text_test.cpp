#include "platform/win32/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/win32_command_line.h"

namespace mirvane::platform::win32 {
namespace {

TEST(Win32Text, UtfRoundTripsNamesNoAnsiPageCanSpell) {
  for (const std::string name :
       {"", "plain.png", "画像 ﾊﾞｰｼﾞｮﾝ.jpg", "Ωmega-привет.gif", "emoji-😀.png", "a\rb\nc"}) {
    EXPECT_EQ(Narrow(Widen(name)), name);
  }
  EXPECT_EQ(Widen("😀"), std::wstring(L"\xD83D\xDE00"));
}

TEST(Win32Text, LoneCarriageReturnsBecomeLineBreaks) {
  const std::vector<std::pair<std::string, std::wstring>> rows = {
      {"one", L"one"},       {"a\rb", L"a\r\nb"},
      {"a\r\nb", L"a\r\nb"}, {"a\r\rb\r", L"a\r\n\r\nb\r\n"},
      {"a\nb", L"a\nb"},     {"行1\r行2", L"行1\r\n行2"},
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(MessageLines(text), expected) << text;
}

TEST(Win32Text, MenuCaptionsHaveNoAccessKeys) {
  EXPECT_EQ(MenuCaption("終了"), L"終了");
  EXPECT_EQ(MenuCaption("A&B"), L"A&&B");
  EXPECT_EQ(MenuCaption("&&"), L"&&&&");
}

TEST(Win32CommandLine, ArgumentsAreWhatFollowsTheProgramName) {
  const std::vector<std::pair<std::wstring, std::wstring>> rows = {
      {L"mirvane.exe", L""},
      {L"mirvane.exe a.png b.png", L"a.png b.png"},
      {L"mirvane.exe   a.png  b.png ", L"a.png  b.png "},
      {L"mirvane.exe\ta.png", L"a.png"},
      {L"\"C:\\Program Files\\Mirvane\\mirvane.exe\" a.png", L"a.png"},
      {L"\"C:\\Program Files\\mirvane.exe\"a.png", L"a.png"},
      {L"\"unterminated a.png", L""},
      {L"mirvane.exe \"quoted name.png\"", L"\"quoted name.png\""},
      {L"mirvane.exe 画像.jpg", L"画像.jpg"},
      {L"", L""},
  };
  for (const auto& [line, expected] : rows) {
    EXPECT_EQ(ArgumentsOf(line), expected) << Narrow(line);
  }
}

}  // namespace
}  // namespace mirvane::platform::win32
