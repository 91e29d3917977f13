#pragma once

#include "platform/next_pictures.h"

namespace mirvane::platform::win32 {

// Nothing is prepared ahead on Windows yet: the slots decode at Render, as before.
// image::Preparer, shared with the Qt back-end, is there for when they do.
class Win32NextPictures final : public platform::NextPictures {
 public:
  void Expect(const Upcoming& /*next*/) noexcept override {}
};

}  // namespace mirvane::platform::win32
