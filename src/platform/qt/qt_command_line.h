#pragma once

#include <string>

#include "platform/command_line.h"

namespace mirvane::platform::qt {

// platform::CommandLine from main's arguments: those after the program's name, as
// bytes, joined by single blanks.
class QtCommandLine final : public platform::CommandLine {
 public:
  QtCommandLine(int argc, const char* const* argv);

  std::string ArgumentText() const override { return text_; }

 private:
  std::string text_;
};

}  // namespace mirvane::platform::qt
