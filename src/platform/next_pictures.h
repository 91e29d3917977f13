#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirvane::platform {

// Which pictures a slot turns a quarter turn when they are shown: none, those higher than
// wide (in a window wider than high), or those wider than high (in a window higher than wide).
enum class TurnWhen { kNever, kPortrait, kLandscape };

// What the slide show is expected to show next.
struct Upcoming {
  std::vector<std::string> names;  // in the order the ticks would take them
  std::uint8_t slot = 0;           // the slot that receives the first of them
  TurnWhen turn = TurnWhen::kNever;
  friend bool operator==(const Upcoming&, const Upcoming&) = default;
};

// Gets the next pictures ready before the slots are asked to show them. Only a hint: the
// slots show exactly the same with or without it, so it never throws, never blocks, and
// each call replaces the one before.
class NextPictures {
 public:
  NextPictures() = default;
  NextPictures(const NextPictures&) = delete;
  NextPictures& operator=(const NextPictures&) = delete;
  virtual ~NextPictures() = default;

  virtual void Expect(const Upcoming& next) noexcept = 0;
};

}  // namespace mirvane::platform
