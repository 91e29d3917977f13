#pragma once

#include <functional>
#include <string>

#include "image/host.h"
#include "image/prepare.h"
#include "image/preparer.h"
#include "image/upcoming.h"

namespace mirvane::image {

// Gets the pictures the slide show will show next ready on worker threads, for the slots
// to take at Render; both back-ends use it, each with its own Host. Lives on the
// user-interface thread: only the workers run elsewhere, and they pass word back through
// the host's `post`.
class NextPictures {
 public:
  using Prepare = Preparer<Decoded>::Prepare;
  // `box_of(slot)`: that slot's size in device pixels now. `prepare`, for tests: how a
  // worker prepares a picture (PrepareAhead by default).
  NextPictures(Host host, std::function<Size(int slot)> box_of, Prepare prepare = {});
  ~NextPictures();

  // What comes next; the order goes out once the user-interface thread is free again, so
  // that only the last of several calls counts, with the size the slots have by then.
  void Expect(const Upcoming& next) noexcept;
  // Off: nothing more is prepared and what is kept is dropped.
  void Enabled(bool on);

  // For a slot's Render of `name` into `box`: the picture prepared for it, when it is still
  // the same file and agrees with the box and the turn; otherwise decoded here and now.
  // Throws Error.
  Supplied Supply(const std::string& name, Size box);

  // For the show's timer: true while the next picture is being prepared by a worker, and
  // then `resume` is called once it is ready.
  bool HoldTick(std::function<void()> resume);

  // The host the pictures are read through.
  const Host& host() const { return host_; }

 private:
  // Hands the latest order to the workers.
  void SendOrder();
  // The held tick goes on once its picture is no longer under way.
  void ResumeWhenReady();

  Host host_;
  std::function<Size(int)> box_of_;
  TurnWhen turn_ = TurnWhen::kNever;
  bool enabled_ = true;
  bool posted_ = false;
  Upcoming next_;
  std::function<void()> resume_;  // the held tick
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // posted work checks it
  Preparer<Decoded> preparer_;                                  // last: its workers stop first
};

}  // namespace mirvane::image
