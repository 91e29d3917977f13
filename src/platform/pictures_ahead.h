#pragma once

#include <utility>

#include "image/next_pictures.h"
#include "platform/next_pictures.h"

namespace mirvane::platform {

// The core's hint of what comes next, passed to the picture pipeline's NextPictures: the
// seam where the core's types become the pipeline's.
class PicturesAhead final : public NextPictures {
 public:
  explicit PicturesAhead(image::NextPictures& next) : next_(next) {}

  void Expect(const Upcoming& next) noexcept override {
    try {
      next_.Expect(image::Upcoming{next.names, next.slot, Translated(next.turn)});
    } catch (...) {
      // Only a hint.
    }
  }

 private:
  static image::TurnWhen Translated(TurnWhen turn) {
    switch (turn) {
      case TurnWhen::kPortrait:
        return image::TurnWhen::kPortrait;
      case TurnWhen::kLandscape:
        return image::TurnWhen::kLandscape;
      case TurnWhen::kNever:
        break;
    }
    return image::TurnWhen::kNever;
  }

  image::NextPictures& next_;
};

}  // namespace mirvane::platform
