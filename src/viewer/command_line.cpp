#include "viewer/command_line.h"

#include <cstddef>

namespace mirvane::viewer {
namespace {

std::string TrimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

// Scans bytes: a blank or tab byte never occurs inside a multibyte UTF-8
// character, and counting in bytes removes any limit on the text's length.
void ParseCommandLine(LumivoState& state, const std::string& text) {
  state.FileCount = 0;
  state.CurrentIndex = 0;
  state.WrappedToStart = false;
  std::size_t start = 0;
  bool full = false;
  // The first character always belongs to the first piece.
  for (std::size_t p = 1; p < text.size() && !full; ++p) {
    if (text[p] != ' ' && text[p] != '\t') continue;
    state.FileList[++state.FileCount] = text.substr(start, p - start);
    start = p;
    full = state.FileCount == kListCapacity;
  }
  if (!full) state.FileList[++state.FileCount] = text.substr(start);
  for (std::int16_t k = 1; k <= state.FileCount; ++k) {
    state.FileList[k] = TrimBlanks(state.FileList[k]);
  }
}

}  // namespace mirvane::viewer
