#include "image/next_pictures.h"

#include <utility>

namespace mirvane::image {
namespace {

// One worker for the next picture and one for the picture after it: two cores decode
// while the user-interface thread shows.
constexpr int kWorkers = 2;
// Pictures kept ahead besides the one awaited: a slow picture on view does not leave the
// workers idle.
constexpr std::size_t kKept = 3;

}  // namespace

NextPictures::NextPictures(Host host, std::function<Size(int)> box_of, Prepare prepare)
    : host_(std::move(host)),
      box_of_(std::move(box_of)),
      preparer_(prepare ? std::move(prepare)
                        : Prepare([this](const Order& order) { return PrepareAhead(order, host_); }),
                kWorkers, kKept, [this, alive = alive_] {
                  // On a worker: word goes to the user-interface thread.
                  host_.post([this, alive] {
                    if (*alive) ResumeWhenReady();
                  });
                }) {}

NextPictures::~NextPictures() { *alive_ = false; }

void NextPictures::Expect(const Upcoming& next) noexcept {
  try {
    turn_ = next.turn;
    next_ = next;
    if (!posted_) {
      posted_ = true;
      host_.post([this, alive = alive_] {
        if (!*alive) return;
        if (posted_) SendOrder();  // not already sent by a tick that came first
        ResumeWhenReady();         // what comes next may have changed
      });
    }
  } catch (...) {
    // Only a hint: without it the slots decode when they are asked to.
    posted_ = false;
  }
}

void NextPictures::SendOrder() {
  posted_ = false;
  try {
    const Size box = box_of_(next_.slot % 2);
    const bool wanted = enabled_ && box.width > 0 && box.height > 0;
    preparer_.Want(wanted ? next_.names : std::vector<std::string>{}, box, next_.turn);
  } catch (...) {
    // Out of memory: the slots decode when they are asked to.
  }
}

bool NextPictures::HoldTick(std::function<void()> resume) {
  if (posted_) SendOrder();  // a tick came first: the order goes out before it is shown
  if (!enabled_ || !preparer_.AwaitNext()) return false;
  resume_ = std::move(resume);
  return true;
}

void NextPictures::ResumeWhenReady() {
  if (!resume_ || preparer_.AwaitNext()) return;
  std::exchange(resume_, nullptr)();
}

void NextPictures::Enabled(bool on) {
  enabled_ = on;
  if (!on) preparer_.Want({}, {}, turn_);
  host_.post([this, alive = alive_] {
    if (*alive) ResumeWhenReady();
  });
}

Supplied NextPictures::Supply(const std::string& name, Size box) {
  if (enabled_) {
    try {
      const std::unique_ptr<SourceFile> file = host_.open(name);
      auto ready = preparer_.Take(name, file->identity_at_open(), box, turn_);
      if (ready) return {std::move(ready->picture), ready->quarter_turns};
    } catch (...) {
      // Decoded here and now, which reports what is wrong.
    }
  }
  return DecodeNow(name, box, host_);
}

}  // namespace mirvane::image
