#pragma once

#include <string>

namespace mirvane::platform {

class CommandLine {
 public:
  CommandLine() = default;
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;
  virtual ~CommandLine() = default;

  // Everything after the program's name, as one text.
  virtual std::string ArgumentText() const = 0;
};

}  // namespace mirvane::platform
