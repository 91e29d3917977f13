#pragma once

#include <cstdint>
#include <string>

#include "viewer/controls.h"
#include "viewer/state.h"

namespace mirvane::viewer {

// The explanation: five sentences joined by a lone carriage return.
std::string DocumentText();
// The version message: the program's name and its version from the build.
std::string VersionText();

// The right button (2) opens the popup menu at the pointer; others do nothing.
void Form_MouseDown(const Controls& controls, std::int16_t Button);

// Each flips its check mark, then writes the settings; nothing else.
void SMenu_Loop_Click(LumivoState& state, const Controls& controls);
void SMenu_Rotate_Click(LumivoState& state, const Controls& controls);

// Hands the interval to the modal dialog as text and takes it back, however the
// dialog was closed; the timer gets it and the settings are written.
void SMenu_Timer_Click(LumivoState& state, const Controls& controls);

void SMenu_Document_Click(const Controls& controls);
void SMenu_Version_Click(const Controls& controls);
// Ends the program at once; nothing is written.
void SMenu_End_Click(const Controls& controls);

}  // namespace mirvane::viewer
