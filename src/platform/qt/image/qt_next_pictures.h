#pragma once

#include <QImage>
#include <QSize>
#include <QTimer>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "image/preparer.h"
#include "platform/next_pictures.h"
#include "platform/qt/image/decode.h"

namespace mirvane::platform::qt {

class QtRastrel;

namespace image {

// What a slot shows after Render: a picture (or animation) decoded for its box, turned
// `quarter_turns` (0 or 1) clockwise.
struct Supplied {
  Decoded decoded;
  int quarter_turns = 0;
};

// The picture of `name` fitted to `box`, upright, for a slot's Render: read and decoded
// here and now. Throws Error.
Supplied DecodeNow(const std::string& name, QSize box);

// The same off the user-interface thread for a picture wanted ahead, turned when `order`'s
// rule turns it. Throws Error, also when the file changed while it was read.
mirvane::image::Prepared<Decoded> PrepareAhead(const mirvane::image::Order& order);

}  // namespace image

// Gets the next pictures ready on two worker threads for the slots to take at Render.
class QtNextPictures final : public platform::NextPictures {
 public:
  using Prepare = mirvane::image::Preparer<image::Decoded>::Prepare;
  QtNextPictures(QtRastrel& slot0, QtRastrel& slot1, Prepare prepare = image::PrepareAhead);

  void Expect(const Upcoming& next) noexcept override;
  // Off: nothing more is prepared and what is kept is dropped.
  void Enabled(bool on);

  // For a slot's Render of `name` into `box`: the picture prepared for it, when it is still
  // the same file and agrees with the box and the turn; otherwise decoded here and now.
  image::Supplied Supply(const std::string& name, QSize box);

  // For the show's timer (QtTimer::HoldTicks): true while the next picture is being
  // decoded, and then `resume` is called once it is ready.
  bool HoldTick(std::function<void()> resume);

 private:
  // Hands the latest order to the workers.
  void Order();
  // The held tick goes on once its picture is no longer under way.
  void ResumeWhenReady();

  std::array<QtRastrel*, 2> slots_;
  TurnWhen turn_ = TurnWhen::kNever;
  bool enabled_ = true;
  Upcoming next_;
  QTimer order_;
  std::function<void()> resume_;  // the held tick
  QObject relay_;                 // word from the workers arrives here, on this thread
  mirvane::image::Preparer<image::Decoded> preparer_;  // last: its workers stop first
};

}  // namespace mirvane::platform::qt
