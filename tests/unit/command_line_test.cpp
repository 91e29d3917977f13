#include "viewer/command_line.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

namespace mirvane::viewer {
namespace {

std::vector<std::string> Names(const LumivoState& state) {
  return {state.FileList.begin() + 1, state.FileList.begin() + 1 + state.FileCount};
}

std::vector<std::string> Split(const std::string& text) {
  LumivoState state;
  ParseCommandLine(state, text);
  return Names(state);
}

std::string Joined(int count, const std::string& separator) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    if (i > 1) text += separator;
    text += "n" + std::to_string(i);
  }
  return text;
}

struct SplitCase {
  std::string text;
  std::vector<std::string> names;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << testing::PrintToString(c.text); }

class ParseCommandLineTest : public testing::TestWithParam<SplitCase> {};

TEST_P(ParseCommandLineTest, WorkedResults) {
  EXPECT_EQ(Split(GetParam().text), GetParam().names) << "text: [" << GetParam().text << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseCommandLineTest,
    testing::Values(SplitCase{"a.jpg", {"a.jpg"}}, SplitCase{"a.jpg b.jpg", {"a.jpg", "b.jpg"}},
                    SplitCase{"a.jpg  b.jpg", {"a.jpg", "", "b.jpg"}},
                    SplitCase{"a.jpg b.jpg ", {"a.jpg", "b.jpg", ""}},
                    SplitCase{" a.jpg", {"a.jpg"}}, SplitCase{"  a.jpg", {"", "a.jpg"}},
                    SplitCase{"a.jpg\tb.jpg", {"a.jpg", "\tb.jpg"}},
                    SplitCase{"\ta.jpg", {"\ta.jpg"}}, SplitCase{"a.jpg\t", {"a.jpg", "\t"}},
                    SplitCase{"\"my photo.jpg\"", {"\"my", "photo.jpg\""}}, SplitCase{" ", {""}},
                    SplitCase{"   ", {"", "", ""}}, SplitCase{"x", {"x"}}, SplitCase{"", {""}},
                    SplitCase{"写真 画像.jpg", {"写真", "画像.jpg"}}));

TEST(ParseCommandLine, ThousandNamesAreAllKept) {
  const auto names = Split(Joined(1000, " "));
  ASSERT_EQ(names.size(), 1000u);
  EXPECT_EQ(names.front(), "n1");
  EXPECT_EQ(names.back(), "n1000");
}

TEST(ParseCommandLine, AboveThousandPiecesTheRestIsDropped) {
  const auto names = Split(Joined(1001, " "));
  ASSERT_EQ(names.size(), 1000u);
  EXPECT_EQ(names.back(), "n1000");

  // Empty pieces count: 600 names with double blanks make 1199 pieces.
  const auto pieces = Split(Joined(600, "  "));
  ASSERT_EQ(pieces.size(), 1000u);
  EXPECT_EQ(pieces[0], "n1");
  EXPECT_EQ(pieces[1], "");
  EXPECT_EQ(pieces[998], "n500");
  EXPECT_EQ(pieces[999], "");

  EXPECT_EQ(Split(std::string(5000, ' ')).size(), 1000u);
  EXPECT_EQ(Split(Joined(3000, "\t")).back(), "\tn1000");
}

TEST(ParseCommandLine, LongTextBeyondSixteenBitPositions) {
  const std::string name(40000, 'a');
  EXPECT_EQ(Split(name + " b"), (std::vector<std::string>{name, "b"}));
}

TEST(ParseCommandLine, ResetsPositionAndLeavesHigherSlots) {
  LumivoState state;
  state.CurrentIndex = 7;
  state.FileCount = 9;
  for (int i = 1; i <= 9; ++i) state.FileList[i] = "old" + std::to_string(i);
  state.FileList[1000] = "last";
  ParseCommandLine(state, "a b");
  EXPECT_EQ(state.FileCount, 2);
  EXPECT_EQ(state.CurrentIndex, 0);
  EXPECT_EQ(state.FileList[0], "");
  EXPECT_EQ(state.FileList[1], "a");
  EXPECT_EQ(state.FileList[2], "b");
  EXPECT_EQ(state.FileList[3], "old3");
  EXPECT_EQ(state.FileList[9], "old9");
  EXPECT_EQ(state.FileList[1000], "last");
  static_assert(std::is_same_v<decltype(state.FileCount), std::int16_t>);
}

}  // namespace
}  // namespace mirvane::viewer
