#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <functional>
#include <utility>

#include "platform/qt/qt_timer.h"

namespace mirvane::platform::qt {
namespace {

// The bounds are wide: they tell a tick that comes at all, or comes without being
// postponed, from one that does not; they are not measurements.
class QtTimerTest : public ::testing::Test {
 protected:
  QtTimerTest() {
    timer_.OnTick([this] { ++ticks_; });
  }

  // Milliseconds from now until the next tick, or -1 when none comes within `limit`.
  int WaitForTick(int limit) {
    QElapsedTimer clock;
    clock.start();
    const int before = ticks_;
    while (ticks_ == before && clock.elapsed() < limit) QTest::qWait(1);
    return ticks_ == before ? -1 : static_cast<int>(clock.elapsed());
  }

  QtTimer timer_;
  int ticks_ = 0;
};

TEST_F(QtTimerTest, CreatedEnabledWithoutIntervalDoesNotTick) {
  EXPECT_TRUE(timer_.IsEnabled());
  QTest::qWait(150);
  EXPECT_EQ(ticks_, 0);
}

TEST_F(QtTimerTest, TicksRepeatedlyOnceGivenAnInterval) {
  timer_.Interval(20);
  QTest::qWait(400);
  EXPECT_GE(ticks_, 3);
}

// The drop handler's three steps, from a running slow timer and from a disabled one:
// the first tick comes almost at once, then the pace is the last interval.
TEST_F(QtTimerTest, DropSequenceTicksAlmostAtOnce) {
  for (const bool running : {true, false}) {
    SCOPED_TRACE(running ? "running" : "disabled");
    timer_.Interval(2000);
    timer_.Enabled(running);
    QTest::qWait(20);
    ticks_ = 0;
    timer_.Interval(1);
    timer_.Enabled(true);
    timer_.Interval(2000);
    const int first = WaitForTick(1500);
    EXPECT_GE(first, 0);
    EXPECT_EQ(WaitForTick(800), -1) << "the next tick is an interval of 2000 away";
    EXPECT_EQ(timer_.CurrentInterval(), 2000);
  }
}

TEST_F(QtTimerTest, ShorterIntervalBringsTheNextTickForward) {
  timer_.Interval(2000);
  QTest::qWait(20);
  timer_.Interval(50);
  const int first = WaitForTick(1500);
  EXPECT_GE(first, 0);
  EXPECT_LT(first, 1500);
}

TEST_F(QtTimerTest, LongerIntervalDoesNotPostponeATickAlreadyDue) {
  timer_.Interval(100);
  QTest::qWait(20);
  timer_.Interval(60000);
  EXPECT_GE(WaitForTick(1500), 0);
  EXPECT_EQ(WaitForTick(500), -1) << "after that tick the new interval holds";
}

TEST_F(QtTimerTest, EnablingAnEnabledTimerKeepsItsDueTime) {
  timer_.Interval(1000);
  QElapsedTimer clock;
  clock.start();
  QTest::qWait(600);
  timer_.Enabled(true);
  ASSERT_GE(WaitForTick(2000), 0);
  EXPECT_LT(clock.elapsed(), 1450) << "a restart would have put the tick at 1600 ms";
}

TEST_F(QtTimerTest, DisablingDropsThePendingTickAndEnablingResumes) {
  timer_.Interval(30);
  ASSERT_GE(WaitForTick(1000), 0);
  timer_.Enabled(false);
  EXPECT_FALSE(timer_.IsEnabled());
  EXPECT_EQ(WaitForTick(200), -1);
  timer_.Interval(20);  // a new interval while disabled does not start it
  EXPECT_EQ(WaitForTick(200), -1);
  timer_.Enabled(true);
  EXPECT_GE(WaitForTick(1000), 0);
}

TEST_F(QtTimerTest, HandlerMayDisableTheTimerFromItsTick) {
  timer_.OnTick([this] {
    ++ticks_;
    timer_.Enabled(false);
  });
  timer_.Interval(10);
  QTest::qWait(200);
  EXPECT_EQ(ticks_, 1);
}

// A tick whose picture is still being decoded is held back and given when resumed; the
// event loop runs meanwhile. What would drop a pending tick drops a held one too.
TEST_F(QtTimerTest, HeldTickIsGivenOnResumeOrDroppedWithTheTimer) {
  const struct {
    const char* what;
    void (*meanwhile)(QtTimer&);
    int ticks;
  } rows[] = {
      {"resumed", [](QtTimer&) {}, 1},
      {"disabled meanwhile", [](QtTimer& t) { t.Enabled(false); }, 0},
      {"interval 0 meanwhile", [](QtTimer& t) { t.Interval(0); }, 0},
      {"disabled and enabled meanwhile", [](QtTimer& t) { t.Enabled(false), t.Enabled(true); }, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    QtTimer timer;
    int ticks = 0, asked = 0;
    std::function<void()> resume;
    timer.OnTick([&] { ++ticks; });
    timer.HoldTicks([&](std::function<void()> r) {
      ++asked;
      resume = std::move(r);
      return true;
    });
    timer.Interval(10);
    QTest::qWait(100);
    EXPECT_EQ(asked, 1) << "no second tick while one is held";
    EXPECT_EQ(ticks, 0);
    row.meanwhile(timer);
    timer.HoldTicks(nullptr);
    resume();
    EXPECT_EQ(ticks, row.ticks);
  }
}

TEST_F(QtTimerTest, HeldTickRearmsWithTheIntervalSetMeanwhile) {
  std::function<void()> resume;
  timer_.HoldTicks([&](std::function<void()> r) {
    resume = std::move(r);
    return true;
  });
  timer_.Interval(10);
  QTest::qWait(50);
  ASSERT_TRUE(resume);
  timer_.Interval(60000);
  timer_.HoldTicks(nullptr);
  std::exchange(resume, nullptr)();
  EXPECT_EQ(ticks_, 1);
  EXPECT_EQ(WaitForTick(300), -1) << "the next tick is 60000 ms away";
}

}  // namespace
}  // namespace mirvane::platform::qt
