#include "viewer/state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>

namespace mirvane::viewer {
namespace {

static_assert(std::is_same_v<decltype(LumivoState::FileCount), std::int16_t>);
static_assert(std::is_same_v<decltype(LumivoState::CurrentIndex), std::int16_t>);
static_assert(std::is_same_v<decltype(LumivoState::BackIndex), std::uint8_t>);
static_assert(std::is_same_v<decltype(LumivoState::Interval), std::uint16_t>);
static_assert(std::tuple_size_v<decltype(LumivoState::FileList)> == 1001);

TEST(LumivoState, ZeroOrEmptyAtCreation) {
  const LumivoState state;
  EXPECT_EQ(state.FileCount, 0);
  EXPECT_EQ(state.CurrentIndex, 0);
  EXPECT_EQ(state.BackIndex, 0);
  EXPECT_FALSE(state.WrappedToStart);
  for (const auto& name : state.FileList) EXPECT_TRUE(name.empty());
}

}  // namespace
}  // namespace mirvane::viewer
