#include "platform/win32/win32_timer.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

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

// A tick whose picture is still being decoded is held back and given when resumed; the
// message loop runs meanwhile. What would drop a pending tick drops a held one too.
TEST(Win32TimerHold, HeldTickIsGivenOnResumeOrDroppedWithTheTimer) {
  const struct {
    const char* what;
    void (*meanwhile)(Win32Timer&);
    int ticks;
  } rows[] = {
      {"resumed", [](Win32Timer&) {}, 1},
      {"disabled meanwhile", [](Win32Timer& t) { t.Enabled(false); }, 0},
      {"interval 0 meanwhile", [](Win32Timer& t) { t.Interval(0); }, 0},
      {"disabled and enabled meanwhile", [](Win32Timer& t) { t.Enabled(false), t.Enabled(true); },
       0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Win32Timer timer;
    int ticks = 0, asked = 0;
    std::function<void()> resume;
    timer.OnTick([&] { ++ticks; });
    timer.HoldTicks([&](std::function<void()> r) {
      ++asked;
      resume = std::move(r);
      return true;
    });
    timer.Interval(10);
    PumpUntil([] { return false; }, 150);
    EXPECT_EQ(asked, 1) << "no second tick while one is held";
    EXPECT_EQ(ticks, 0);
    row.meanwhile(timer);
    timer.HoldTicks(nullptr);
    ASSERT_TRUE(resume);
    resume();
    EXPECT_EQ(ticks, row.ticks);
  }
}

TEST_F(Win32TimerTest, AHeldTickRearmsWithTheIntervalSetMeanwhile) {
  std::function<void()> resume;
  timer_.HoldTicks([&](std::function<void()> r) {
    resume = std::move(r);
    return true;
  });
  timer_.Interval(10);
  PumpUntil([&] { return static_cast<bool>(resume); }, 2000);
  ASSERT_TRUE(resume);
  timer_.Interval(60000);
  timer_.HoldTicks(nullptr);
  std::exchange(resume, nullptr)();
  EXPECT_EQ(ticks_, 1);
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(ticks_, 1) << "the next tick is 60000 ms away";
}

}  // namespace
}  // namespace mirvane::platform::win32
