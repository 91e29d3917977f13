#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace mirvane::settings {

inline constexpr char kSettingsFileName[] = "Mirvane.ini";
inline constexpr std::uint16_t kDefaultInterval = 2000;

struct Settings {
  bool Loop = false;
  std::uint16_t Interval = kDefaultInterval;
  bool Rotate = false;
};

// Applies each line of a settings file's content to `settings`, a later line over
// an earlier one. Lines end at CR (a following LF dropped) or at a lone LF. A value
// TextToBool rejects, an unknown key and a line without "=" change nothing.
void ReadSettings(std::string_view content, Settings& settings);

// The file's three lines, each ended by CR LF.
std::string SettingsText(const Settings& settings);

// Sets Interval to the default, then applies the file when an ordinary file of
// that name exists and can be read; Loop and Rotate keep what they hold otherwise.
void LoadSettings(const platform::FileSystem& files, Settings& settings);

// Rewrites the file whole; false when it could not be written.
bool SaveSettings(platform::FileSystem& files, const Settings& settings);

}  // namespace mirvane::settings
