#pragma once

#include <stdexcept>
#include <string>

namespace mirvane::image {

// What the picture pipeline throws on a file it cannot show: not a picture, damaged, over
// budget, out of memory. The platform's slots pass it on as their own error.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace mirvane::image
