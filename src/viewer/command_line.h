#pragma once

#include <string>

#include "viewer/state.h"

namespace mirvane::viewer {

// Splits the argument text into FileList at every blank and tab, with no quoting:
// each piece after the first starts with its separator, then blanks (not tabs) are
// trimmed from both ends. At most 1000 pieces are kept. Resets CurrentIndex.
void ParseCommandLine(LumivoState& state, const std::string& text);

}  // namespace mirvane::viewer
