#include "settings/settings_file.h"

#include "settings/text_conversions.h"

namespace mirvane::settings {
namespace {

constexpr std::int64_t kMaxInterval = 65535;

void ApplyLine(std::string_view line, Settings& settings) {
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return;
  const std::string_view key = line.substr(0, equals);
  const std::string_view value = line.substr(equals + 1);
  if (key == "Loop" || key == "Rotate") {
    if (const auto on = TextToBool(value)) (key == "Loop" ? settings.Loop : settings.Rotate) = *on;
  } else if (key == "Interval") {
    const std::int64_t rounded = RoundHalfEven(LeadingNumber(value));
    if (rounded < 1) {
      settings.Interval = kDefaultInterval;
    } else {
      settings.Interval =
          static_cast<std::uint16_t>(rounded > kMaxInterval ? kMaxInterval : rounded);
    }
  }
}

}  // namespace

void ReadSettings(std::string_view content, Settings& settings) {
  std::size_t start = 0;
  while (start < content.size()) {
    const auto end = content.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      ApplyLine(content.substr(start), settings);
      return;
    }
    ApplyLine(content.substr(start, end - start), settings);
    start = end + 1;
    if (content[end] == '\r' && start < content.size() && content[start] == '\n') ++start;
  }
}

std::string SettingsText(const Settings& settings) {
  return "Loop=" + BoolToText(settings.Loop) + "\r\n" +  //
         "Interval=" + IntegerText(settings.Interval) + "\r\n" +
         "Rotate=" + BoolToText(settings.Rotate) + "\r\n";
}

void LoadSettings(const platform::FileSystem& files, Settings& settings) {
  settings.Interval = kDefaultInterval;
  if (!files.FileExists(kSettingsFileName)) return;
  if (const auto content = files.ReadTextFile(kSettingsFileName)) ReadSettings(*content, settings);
}

bool SaveSettings(platform::FileSystem& files, const Settings& settings) {
  return files.WriteTextFile(kSettingsFileName, SettingsText(settings));
}

}  // namespace mirvane::settings
