#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "image/file_identity.h"
#include "image/fit.h"
#include "image/upcoming.h"

namespace mirvane::image {

// One picture to get ready: the file's name, the slot's size in device pixels, the turn rule.
struct Order {
  std::string name;
  Size box;
  TurnWhen turn = TurnWhen::kNever;
};

template <typename Picture>
struct Prepared {
  FileIdentity file;      // the file read, as it stood when opened
  Size full;              // the picture's own size, upright, before any turn
  int quarter_turns = 0;  // TurnsFor(turn, full), already applied to `picture`
  Picture picture;        // fitted to the box
};

// Gets the next pictures ready on worker threads and keeps at most `keep` finished ones until
// a slot takes one. Toolkit-neutral: each back-end gives its own way to prepare a picture. A
// newer Want replaces the older; failures are not kept; the lock is held only to hand an
// order out or a picture over, never while reading or decoding.
template <typename Picture>
class Preparer {
 public:
  // Reads and decodes one picture, throwing on any failure. Runs on a worker thread, so it
  // must touch no state of the user-interface thread.
  using Prepare = std::function<Prepared<Picture>(const Order&)>;

  // `finished`, when given, is called on the worker thread each time a decode has ended and
  // its picture (if any) is in the cache; it must only pass word on to its own thread.
  Preparer(Prepare prepare, int threads, std::size_t keep = 2, std::function<void()> finished = {})
      : prepare_(std::move(prepare)), keep_(keep), finished_(std::move(finished)) {
    alive_ = threads;
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { WorkSafely(); });
  }
  Preparer(const Preparer&) = delete;
  Preparer& operator=(const Preparer&) = delete;
  // Waits for the decodes under way.
  ~Preparer() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  // Wants the first `keep` of `names` that can be prepared, in order. Kept pictures no
  // longer wanted, or made for another box or turn, are dropped.
  void Want(const std::vector<std::string>& names, Size box, TurnWhen turn) {
    std::vector<Kept> dropped;  // freed outside the lock
    {
      std::lock_guard lock(mutex_);
      // The same names again (one picture shown over and over, say): what was taken is
      // wanted once more; what failed stays failed.
      taken_.clear();
      if (names == names_ && box == box_ && turn == turn_) {
        wake_.notify_all();
        return;
      }
      names_ = names;
      box_ = box;
      turn_ = turn;
      failed_.clear();
      awaiting_ = false;
      for (auto it = kept_.begin(); it != kept_.end();) {
        if (Current(*it)) {
          ++it;
        } else {
          dropped.push_back(std::move(*it));
          it = kept_.erase(it);
        }
      }
    }
    wake_.notify_all();
  }

  // Whether the picture the next tick shows (the first wanted name that has not failed or
  // been taken) is still to come from a worker: then the caller waits for it (`finished`
  // says when to look again) and, as it is handed over the moment it is done, it is decoded
  // first and does not count against the pictures kept. False once it is kept, for a name
  // no worker prepares (the empty name), when nothing is wanted, and when no worker is left.
  bool AwaitNext() {
    {
      std::lock_guard lock(mutex_);
      const auto first = std::find_if(names_.begin(), names_.end(),
                                      [&](const std::string& name) { return !Passed(name); });
      if (first == names_.end() || first->empty() || IsKept(*first) || alive_ == 0) {
        awaiting_ = false;
        return false;
      }
      awaited_ = *first;
      awaiting_ = true;
    }
    wake_.notify_all();
    return true;
  }

  // Workers still running, for tests.
  int alive() {
    std::lock_guard lock(mutex_);
    return alive_;
  }

  // The picture prepared for `name`, provided it was made from the file as it is `now`, for
  // `box`, and turned as `turn` turns it. Waits while it is being prepared. Whatever was kept
  // for the name leaves the cache, and the workers leave the name alone until the next Want.
  std::optional<Prepared<Picture>> Take(const std::string& name, const FileIdentity& now, Size box,
                                        TurnWhen turn) {
    std::optional<Prepared<Picture>> found;
    std::optional<Kept> stale;
    {
      std::unique_lock lock(mutex_);
      const auto under_way = [&] {
        return std::any_of(running_.begin(), running_.end(), [&](const Order& order) {
          return order.name == name && order.box == box;
        });
      };
      if (under_way()) {
        awaited_ = name;
        awaiting_ = true;
        wake_.notify_all();
        done_.wait(lock, [&] { return !under_way(); });
      }
      if (awaiting_ && awaited_ == name) awaiting_ = false;
      const auto it = std::find_if(kept_.begin(), kept_.end(),
                                   [&](const Kept& kept) { return kept.name == name; });
      if (it != kept_.end()) {
        const Prepared<Picture>& p = it->prepared;
        if (it->box == box && p.file == now && p.quarter_turns == TurnsFor(turn, p.full)) {
          found = std::move(it->prepared);
        } else {
          stale = std::move(*it);
        }
        kept_.erase(it);
      }
      if (!Passed(name)) taken_.push_back(name);
    }
    wake_.notify_all();
    return found;
  }

 private:
  struct Kept {
    std::string name;
    Size box;
    Prepared<Picture> prepared;
  };

  bool Wanted(const std::string& name) const {
    return std::find(names_.begin(), names_.end(), name) != names_.end();
  }
  bool Passed(const std::string& name) const {
    return std::find(taken_.begin(), taken_.end(), name) != taken_.end() ||
           std::find(failed_.begin(), failed_.end(), name) != failed_.end();
  }
  bool Current(const Kept& kept) const {
    return Wanted(kept.name) && kept.box == box_ &&
           kept.prepared.quarter_turns == TurnsFor(turn_, kept.prepared.full);
  }
  bool Current(const Order& order) const {
    return Wanted(order.name) && order.box == box_ && order.turn == turn_;
  }

  bool IsKept(const std::string& name) const {
    return std::any_of(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.name == name; });
  }
  bool IsRunning(const std::string& name) const {
    return std::any_of(running_.begin(), running_.end(),
                       [&](const Order& order) { return order.name == name && Current(order); });
  }
  bool Open(const std::string& name) const {
    return !Passed(name) && !IsKept(name) && !IsRunning(name);
  }

  // The next name to prepare, if any; under the lock. The awaited picture first and
  // outside the bound: it is handed over as soon as it is done.
  std::optional<Order> NextOrder() const {
    if (awaiting_ && Wanted(awaited_) && Open(awaited_)) {
      return Order{awaited_, box_, turn_};
    }
    std::size_t busy = kept_.size();
    for (const Order& order : running_) {
      busy += Current(order) && !(awaiting_ && order.name == awaited_) ? 1 : 0;
    }
    if (busy >= keep_) return std::nullopt;
    for (const std::string& name : names_) {
      if (Open(name)) return Order{name, box_, turn_};
    }
    return std::nullopt;
  }

  void WorkSafely() {
    std::optional<Order> order;  // the one this worker has under way
    try {
      Work(order);
    } catch (...) {
      // Out of memory in the bookkeeping, say: this worker stops, the others go on, and
      // nobody waits for what it had under way.
      {
        std::lock_guard lock(mutex_);
        if (order) {
          const auto mine = std::find_if(running_.begin(), running_.end(), [&](const Order& o) {
            return o.name == order->name && o.box == order->box && o.turn == order->turn;
          });
          if (mine != running_.end()) running_.erase(mine);
        }
        --alive_;
      }
      done_.notify_all();  // whoever waits looks again
      wake_.notify_all();
      try {
        if (finished_ && !stop_) finished_();
      } catch (...) {
        // Word could not be passed on: the next tick looks again.
      }
      return;
    }
    std::lock_guard lock(mutex_);
    --alive_;
  }

  void Work(std::optional<Order>& order) {
    std::unique_lock lock(mutex_);
    for (;;) {
      order.reset();
      wake_.wait(lock, [&] { return stop_ || (order = NextOrder()).has_value(); });
      if (stop_) return;
      running_.push_back(*order);
      lock.unlock();
      std::optional<Prepared<Picture>> result;
      try {
        result = prepare_(*order);
      } catch (...) {
        // Not kept: the slot tries the name itself when it is shown.
      }
      lock.lock();
      running_.erase(std::find_if(running_.begin(), running_.end(), [&](const Order& o) {
        return o.name == order->name && o.box == order->box && o.turn == order->turn;
      }));
      std::optional<Kept> kept;
      if (result) kept = Kept{order->name, order->box, std::move(*result)};
      if (kept && Current(*kept) && (kept_.size() < keep_ || (awaiting_ && order->name == awaited_)) &&
          !Passed(order->name)) {
        kept_.push_back(std::move(*kept));
        kept.reset();
      } else if (!result && Current(*order) && !Passed(order->name)) {
        failed_.push_back(order->name);
      }
      done_.notify_all();
      wake_.notify_all();
      lock.unlock();
      kept.reset();  // not wanted any more: freed outside the lock
      order.reset();
      if (finished_) finished_();
      lock.lock();
    }
  }

  Prepare prepare_;
  std::size_t keep_;
  std::function<void()> finished_;
  std::mutex mutex_;
  std::condition_variable wake_;  // an order may be ready, or stop
  std::condition_variable done_;  // a picture has been finished
  std::vector<std::string> names_;
  Size box_;
  TurnWhen turn_ = TurnWhen::kNever;
  std::vector<std::string> taken_;   // since the last Want
  std::vector<std::string> failed_;  // since the last Want of other names, box or turn
  std::vector<Order> running_;
  std::vector<Kept> kept_;
  std::string awaited_;    // the picture the window waits for, when `awaiting_`
  bool awaiting_ = false;
  int alive_ = 0;          // workers not stopped by an exception
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace mirvane::image
