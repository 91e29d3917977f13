#pragma once

#include <stdexcept>
#include <string>

namespace mirvane::platform {

// What a control operation throws when it fails. The core catches it only in the
// procedures that are meant to (showing a picture, turning it, handling a drop).
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace mirvane::platform
