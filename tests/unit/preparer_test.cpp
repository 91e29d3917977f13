#include "image/preparer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace mirvane::image {
namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;

constexpr Size kBox{400, 300};

// Pictures are strings "name@WxH+turns"; a name in `failing` throws; `hold` keeps the
// workers waiting inside Prepare until released.
class Files {
 public:
  Prepared<std::string> Prepare(const Order& order) {
    std::unique_lock lock(mutex_);
    ++calls_[order.name];
    const FileIdentity opened = identity_[order.name];
    released_.wait(lock, [&] { return !hold_ && order.name != held_; });
    if (failing_.count(order.name)) throw std::runtime_error("not a picture");
    const Size full = sizes_.count(order.name) ? sizes_[order.name] : Size{800, 600};
    const int turns = TurnsFor(order.turn, full);
    return {opened, full, turns,
            order.name + "@" + std::to_string(order.box.width) + "x" +
                std::to_string(order.box.height) + "+" + std::to_string(turns)};
  }
  int Calls(const std::string& name) {
    std::lock_guard lock(mutex_);
    return calls_[name];
  }
  int AllCalls() {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const auto& [name, count] : calls_) n += count;
    return n;
  }
  void Fail(const std::string& name) {
    std::lock_guard lock(mutex_);
    failing_.insert(name);
  }
  // Holds only the worker preparing `name` ("" for none).
  void HoldOnly(const std::string& name) {
    {
      std::lock_guard lock(mutex_);
      held_ = name;
    }
    released_.notify_all();
  }
  void Hold(bool on) {
    {
      std::lock_guard lock(mutex_);
      hold_ = on;
    }
    released_.notify_all();
  }
  void Size_(const std::string& name, Size size) {
    std::lock_guard lock(mutex_);
    sizes_[name] = size;
  }
  FileIdentity Identity(const std::string& name) {
    std::lock_guard lock(mutex_);
    return identity_[name];
  }
  void Touch(const std::string& name) {
    std::lock_guard lock(mutex_);
    ++identity_[name].mtime_ns;
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, int> calls_;
  std::set<std::string> failing_;
  std::map<std::string, Size> sizes_;
  std::map<std::string, FileIdentity> identity_;
  bool hold_ = false;
  std::string held_;
};

template <typename Pred>
bool Eventually(Pred pred) {
  for (int i = 0; i < 500; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return pred();
}

class PreparerTest : public testing::Test {
 protected:
  std::optional<std::string> Take(const std::string& name, Size box = kBox,
                                  TurnWhen turn = TurnWhen::kNever) {
    auto p = preparer_.Take(name, files_.Identity(name), box, turn);
    if (!p) return std::nullopt;
    return p->picture;
  }

  Files files_;
  Preparer<std::string> preparer_{[this](const Order& o) { return files_.Prepare(o); }, 2};
};

TEST_F(PreparerTest, KeepsTheFirstTwoThatPrepareInOrder) {
  files_.Fail("b");
  preparer_.Want({"a", "b", "c", "d"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return files_.Calls("c") == 1; }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(files_.Calls("d"), 0);  // two kept: no more work
  EXPECT_EQ(Take("a"), "a@400x300+0");
  EXPECT_EQ(Take("b"), std::nullopt);  // failures are not kept
  EXPECT_EQ(Take("c"), "c@400x300+0");
  EXPECT_EQ(files_.Calls("a"), 1);
  EXPECT_EQ(files_.Calls("b"), 1);
  // Room again: the next wanted name is prepared.
  ASSERT_TRUE(Eventually([&] { return files_.Calls("d") == 1; }));
  EXPECT_EQ(Take("d"), "d@400x300+0");
}

TEST_F(PreparerTest, UsedOnlyWhenFileBoxAndTurnStillAgree) {
  files_.Size_("tall", {600, 800});
  const struct {
    const char* what;
    std::string name;
    Size box;
    TurnWhen prepared, taken;
    bool touched;
    std::optional<std::string> picture;
  } rows[] = {
      {"same", "wide", kBox, TurnWhen::kNever, TurnWhen::kNever, false, "wide@400x300+0"},
      {"file changed", "wide", kBox, TurnWhen::kNever, TurnWhen::kNever, true, std::nullopt},
      {"slot resized", "wide", {500, 300}, TurnWhen::kNever, TurnWhen::kNever, false, std::nullopt},
      {"rotation switched on", "tall", kBox, TurnWhen::kNever, TurnWhen::kPortrait, false,
       std::nullopt},
      {"rotation switched off", "tall", kBox, TurnWhen::kPortrait, TurnWhen::kNever, false,
       std::nullopt},
      {"turned as asked", "tall", kBox, TurnWhen::kPortrait, TurnWhen::kPortrait, false,
       "tall@400x300+1"},
      {"rule changed, same turn", "wide", kBox, TurnWhen::kNever, TurnWhen::kPortrait, false,
       "wide@400x300+0"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const int before = files_.Calls(row.name);
    preparer_.Want({row.name}, kBox, row.prepared);
    ASSERT_TRUE(Eventually([&] { return files_.Calls(row.name) > before; }));
    const int calls = files_.Calls(row.name);
    if (row.touched) files_.Touch(row.name);
    EXPECT_EQ(Take(row.name, row.box, row.taken), row.picture);
    EXPECT_EQ(files_.Calls(row.name), calls);
    preparer_.Want({}, kBox, TurnWhen::kNever);
  }
}

TEST_F(PreparerTest, TakeWaitsForThePictureUnderWay) {
  files_.Hold(true);
  preparer_.Want({"a"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return files_.Calls("a") == 1; }));
  std::thread release([&] {
    std::this_thread::sleep_for(100ms);
    files_.Hold(false);
  });
  EXPECT_EQ(Take("a"), "a@400x300+0");
  release.join();
  EXPECT_EQ(files_.Calls("a"), 1);  // decoded once
}

// What the show's timer asks before a tick: is the next picture still to come? While it
// is awaited it goes first and does not count against the two kept.
TEST(PreparerNext, AwaitsTheFirstPictureNotFailedUntilItIsKept) {
  Files files;
  std::atomic<int> finished{0};
  Preparer<std::string> preparer([&](const Order& o) { return files.Prepare(o); }, 2, 2,
                                 [&] { ++finished; });
  EXPECT_FALSE(preparer.AwaitNext()) << "nothing wanted";
  files.Fail("bad");
  files.HoldOnly("a");
  preparer.Want({"bad", "a", "b", "c", "d"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return finished == 2; })) << "bad failed, b done; a held";
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(files.Calls("c"), 0) << "a under way and b kept: two";
  EXPECT_TRUE(preparer.AwaitNext()) << "a, after the failed name, is not ready";
  ASSERT_TRUE(Eventually([&] { return files.Calls("c") == 1; })) << "a awaited: not counted";
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(files.Calls("d"), 0) << "b and c kept: two";
  files.HoldOnly("");
  ASSERT_TRUE(Eventually([&] { return !preparer.AwaitNext(); })) << "a kept";
  for (const char* name : {"a", "b", "c"}) {
    EXPECT_EQ(preparer.Take(name, files.Identity(name), kBox, TurnWhen::kNever)->picture,
              std::string(name) + "@400x300+0");
  }
}

// A tick is held only for a picture some worker will bring: never for the empty name (which
// names no file), not once the name has failed, and not when every worker has stopped.
TEST(PreparerNext, NeverAwaitsWhatNoWorkerBrings) {
  Files files;
  std::atomic<int> finished{0};
  Preparer<std::string> preparer([&](const Order& o) { return files.Prepare(o); }, 2, 2,
                                 [&] { ++finished; });
  preparer.Want({"b", "c"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return finished == 2; })) << "both kept: no room for more";
  preparer.Want({"", "b", "c"}, kBox, TurnWhen::kNever);
  EXPECT_FALSE(preparer.AwaitNext()) << "the empty name: passed over in its own tick";

  files.Fail("bad");
  preparer.Want({"bad", "b", "c"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return !preparer.AwaitNext(); })) << "failed: released";
  EXPECT_EQ(files.Calls("bad"), 1);
}

// A worker that dies outside a decode (out of memory in its bookkeeping, say) leaves no one
// waiting: a Take of what it had under way returns, and once none is left the tick is not
// held but decoded on the spot.
TEST(PreparerNext, WorkersThatDieHoldNothingBack) {
  Files files;
  std::atomic<bool> fail_word{false};
  Preparer<std::string> preparer([&](const Order& o) { return files.Prepare(o); }, 2, 2, [&] {
    if (fail_word) throw std::bad_alloc();
  });
  fail_word = true;
  files.HoldOnly("a");
  preparer.Want({"a", "b"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return preparer.alive() == 1; })) << "b's worker died after it";
  EXPECT_TRUE(preparer.AwaitNext()) << "a is still being prepared by a live worker";
  files.HoldOnly("");
  ASSERT_TRUE(Eventually([&] { return preparer.alive() == 0; }));
  EXPECT_FALSE(preparer.AwaitNext()) << "no worker left: the tick decodes on the spot";
  preparer.Want({"c"}, kBox, TurnWhen::kNever);
  EXPECT_FALSE(preparer.AwaitNext());
  EXPECT_FALSE(preparer.Take("c", files.Identity("c"), kBox, TurnWhen::kNever).has_value())
      << "returns at once: nobody prepares it";
}

// An awaited picture not yet started is decoded first, whatever is kept.
TEST(PreparerNext, AwaitedPictureGoesFirst) {
  Files files;
  Preparer<std::string> preparer([&](const Order& o) { return files.Prepare(o); }, 1);
  preparer.Want({"b", "c"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return files.Calls("c") == 1; }));
  preparer.Want({"a", "b", "c"}, kBox, TurnWhen::kNever);  // b and c kept: no room for a
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(files.Calls("a"), 0);
  EXPECT_TRUE(preparer.AwaitNext());
  ASSERT_TRUE(Eventually([&] { return !preparer.AwaitNext(); }));
  EXPECT_EQ(files.Calls("a"), 1);
}

TEST_F(PreparerTest, NewerWantReplacesTheOlder) {
  preparer_.Want({"a", "b"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return files_.AllCalls() == 2; }));
  preparer_.Want({"b", "c"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return files_.Calls("c") == 1; }));
  EXPECT_EQ(Take("a"), std::nullopt);  // dropped with the older want
  EXPECT_EQ(Take("b"), "b@400x300+0");
  EXPECT_EQ(files_.Calls("b"), 1);
  // A new box makes every kept picture stale.
  preparer_.Want({"c"}, {100, 100}, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return files_.Calls("c") == 2; }));
  EXPECT_EQ(Take("c", {100, 100}), "c@100x100+0");
}

TEST_F(PreparerTest, ATakenOrFailedNameIsLeftAloneUntilTheNextWant) {
  files_.Fail("x");
  preparer_.Want({"x"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return files_.Calls("x") == 1; }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(files_.Calls("x"), 1);
  preparer_.Want({"x", "y"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return files_.Calls("x") == 2 && files_.Calls("y") == 1; }));
}

// One picture shown over and over (a list of one name on loop, the same files dropped
// again): the same names wanted again bring back what was taken, not what failed.
TEST_F(PreparerTest, SameWantPreparesATakenNameAgainButNotAFailedOne) {
  files_.Fail("x");
  preparer_.Want({"x", "a"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return files_.Calls("a") == 1 && files_.Calls("x") == 1; }));
  EXPECT_EQ(Take("a"), "a@400x300+0");
  preparer_.Want({"x", "a"}, kBox, TurnWhen::kNever);
  ASSERT_TRUE(Eventually([&] { return files_.Calls("a") == 2; }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(files_.Calls("x"), 1);
  EXPECT_EQ(Take("a"), "a@400x300+0");
}

// Many wants and takes from one thread against two workers: no picture is handed out for a
// file other than the one asked for, and the preparer shuts down cleanly mid-work.
TEST(PreparerStress, WantsAndTakesInterleaved) {
  Files files;
  std::atomic<int> handed{0};
  {
    Preparer<std::string> preparer([&](const Order& o) { return files.Prepare(o); }, 2);
    const Names names = {"a", "b", "c", "d", "e"};
    for (int round = 0; round < 2000; ++round) {
      const std::size_t at = round % names.size();
      Names next;
      for (std::size_t k = 0; k < 3; ++k) next.push_back(names[(at + k) % names.size()]);
      const Size box{400 + round % 2, 300};
      preparer.Want(next, box, round % 3 ? TurnWhen::kNever : TurnWhen::kPortrait);
      if (round % 7 == 0) files.Touch(next[0]);
      if (round % 50 == 0) std::this_thread::sleep_for(2ms);
      const auto got = preparer.Take(next[0], files.Identity(next[0]), box, TurnWhen::kNever);
      if (got) {
        ++handed;
        EXPECT_EQ(got->picture.substr(0, 2), next[0] + "@");
        EXPECT_EQ(got->file, files.Identity(next[0]));
      }
    }
  }
  EXPECT_GT(handed.load(), 0);
}

}  // namespace
}  // namespace mirvane::image
