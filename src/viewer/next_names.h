#pragma once

#include <string>
#include <vector>

#include "platform/next_pictures.h"
#include "viewer/state.h"

namespace mirvane::viewer {

// Names the platform is told about: the next two pictures and a few to spare for
// names that fail.
inline constexpr int kNamesAhead = 4;

// The names the next ticks would take, in order, at most `count` and each index at most
// once: on from CurrentIndex to the end of the list, then from its start again when `loop`
// is on and the list holds more than one name. A show at the end of its list (stopped or
// parked) goes on only by the next-image command, from the first name.
std::vector<std::string> NextNames(const LumivoState& state, bool loop, int count);

// The turn the slots will give pictures, as ImageRotate decides it from the rotation check
// mark and the window's outer size.
platform::TurnWhen TurnRule(const Outlook& seen);

// What the handlers tell the platform once they are done: reads nothing but the state.
platform::Upcoming WhatComesNext(const LumivoState& state);

}  // namespace mirvane::viewer
