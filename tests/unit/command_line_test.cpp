#include "viewer/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"

namespace mirvane::viewer {
namespace {

using Names = std::vector<std::string>;

Names Split(const std::string& text) {
  LumivoState state;
  ParseCommandLine(state, text);
  return fakes::Listed(state);
}

// "n1", "n2", ... "n<count>" with `separator` between.
std::string Joined(int count, const std::string& separator) {
  std::string text = "n1";
  for (int i = 2; i <= count; ++i) text += separator + "n" + std::to_string(i);
  return text;
}

TEST(ParseCommandLine, SplitsAtEachSingleBlank) {
  const std::string long_name(40000, 'a');  // beyond 16-bit positions
  const struct {
    std::string text;
    Names names;
  } rows[] = {{"a.jpg", {"a.jpg"}},
              {"a.jpg b.jpg", {"a.jpg", "b.jpg"}},
              {"a.jpg  b.jpg", {"a.jpg", "", "b.jpg"}},
              {"a.jpg b.jpg ", {"a.jpg", "b.jpg", ""}},
              {" a.jpg", {"a.jpg"}},
              {"  a.jpg", {"", "a.jpg"}},
              {"a.jpg\tb.jpg", {"a.jpg", "\tb.jpg"}},
              {"\ta.jpg", {"\ta.jpg"}},
              {"a.jpg\t", {"a.jpg", "\t"}},
              {"\"my photo.jpg\"", {"\"my", "photo.jpg\""}},
              {" ", {""}},
              {"   ", {"", "", ""}},
              {"x", {"x"}},
              {"", {""}},
              {"写真 画像.jpg", {"写真", "画像.jpg"}},
              {long_name + " b", {long_name, "b"}}};
  for (const auto& row : rows) EXPECT_EQ(Split(row.text), row.names) << "[" << row.text << "]";
}

TEST(ParseCommandLine, KeepsAThousandPiecesAndDropsTheRest) {
  const auto thousand = Split(Joined(1000, " "));
  ASSERT_EQ(thousand.size(), 1000u);
  EXPECT_EQ(thousand.front(), "n1");
  EXPECT_EQ(thousand.back(), "n1000");

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

TEST(ParseCommandLine, ResetsPositionAndLeavesHigherSlots) {
  LumivoState state;
  state.CurrentIndex = 7;
  state.FileCount = 9;
  for (int i = 1; i <= 9; ++i) state.FileList[i] = "old" + std::to_string(i);
  state.FileList[1000] = "last";
  ParseCommandLine(state, "a b");
  EXPECT_EQ(fakes::Listed(state), (Names{"a", "b"}));
  EXPECT_EQ(state.CurrentIndex, 0);
  EXPECT_EQ(state.FileList[0], "");
  EXPECT_EQ(state.FileList[3], "old3");
  EXPECT_EQ(state.FileList[9], "old9");
  EXPECT_EQ(state.FileList[1000], "last");
}

}  // namespace
}  // namespace mirvane::viewer
