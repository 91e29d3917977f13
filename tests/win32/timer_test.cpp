#include "platform/win32/win32_timer.h"

#include <gtest/gtest.h>

#include "pump.h"

namespace mirvane::platform::win32 {
namespace {

// Generous bounds: these check what comes first, not how precisely.
class Win32TimerTest : public testing::Test {
 protected:
  void SetUp() override {
    timer_.OnTick([this] {
      ++ticks_;
      if (first_tick_ == 0) first_tick_ = GetTickCount64();
    });
  }
  ULONGLONG Since(ULONGLONG start) const { return first_tick_ - start; }

  Win32Timer timer_;
  int ticks_ = 0;
  ULONGLONG first_tick_ = 0;
};

TEST_F(Win32TimerTest, NoTicksWithoutAnIntervalOrWhileDisabled) {
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(ticks_, 0);
  timer_.Enabled(false);
  timer_.Interval(20);
  PumpUntil([] { return false; }, 150);
  EXPECT_EQ(ticks_, 0);
  timer_.Enabled(true);
  EXPECT_TRUE(PumpUntil([this] { return ticks_ >= 3; }, 2000));
  timer_.Enabled(false);
  const int seen = ticks_;
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(ticks_, seen);
}

TEST_F(Win32TimerTest, ALongerIntervalDoesNotPostponeATickAlreadyDue) {
  const ULONGLONG start = GetTickCount64();
  timer_.Interval(300);
  PumpUntil([] { return false; }, 100);
  timer_.Interval(5000);
  ASSERT_TRUE(PumpUntil([this] { return ticks_ > 0; }, 2000));
  EXPECT_LT(Since(start), 1500u);
}

TEST_F(Win32TimerTest, AShorterIntervalBringsTheTickForward) {
  timer_.Interval(5000);
  const ULONGLONG start = GetTickCount64();
  timer_.Interval(30);
  ASSERT_TRUE(PumpUntil([this] { return ticks_ > 0; }, 2000));
  EXPECT_LT(Since(start), 1500u);
}

// What a drop does: 1 ms, enable, then the real interval; the first tick comes at once.
TEST_F(Win32TimerTest, TheDropSequenceTicksAtOnce) {
  timer_.Enabled(false);
  timer_.Interval(2000);
  const ULONGLONG start = GetTickCount64();
  timer_.Interval(1);
  timer_.Enabled(true);
  timer_.Interval(2000);
  ASSERT_TRUE(PumpUntil([this] { return ticks_ > 0; }, 1500));
  EXPECT_LT(Since(start), 1000u);
  EXPECT_EQ(timer_.CurrentInterval(), 2000);
}

}  // namespace
}  // namespace mirvane::platform::win32
