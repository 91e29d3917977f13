#include "platform/qt/qt_command_line.h"

namespace mirvane::platform::qt {

QtCommandLine::QtCommandLine(int argc, const char* const* argv) {
  for (int i = 1; i < argc && argv != nullptr && argv[i] != nullptr; ++i) {
    if (i > 1) text_ += ' ';
    text_ += argv[i];
  }
}

}  // namespace mirvane::platform::qt
