#include "settings/set_interval.h"

#include <algorithm>

#include "settings/text_conversions.h"

namespace mirvane::settings {

SetInterval::SetInterval(platform::IntervalDialog& dialog, platform::TextBox& argument,
                         platform::MessageBox& box)
    : dialog_(dialog), argument_(argument), box_(box) {}

void SetInterval::Form_Load() { dialog_.TimerInterval().Text(argument_.Text()); }

void SetInterval::OK_Click() {
  const std::string text = dialog_.TimerInterval().Text();
  const double v = LeadingNumber(text);
  if (v < 1 || v > 65535) {
    box_.MsgBox("1～65535の間の数値を指定してください。", platform::MessageKind::Exclamation,
                "数値範囲エラー");
    return;
  }
  argument_.Text(text);
  dialog_.Unload();
}

void SetInterval::Cancel_Click() { dialog_.Unload(); }

std::uint16_t IntervalFromText(std::string_view text, std::uint16_t current) {
  const std::int64_t value = StrictInteger(text).value_or(RoundHalfEven(LeadingNumber(text)));
  if (value < 1) return current;
  return static_cast<std::uint16_t>(std::min<std::int64_t>(value, 65535));
}

}  // namespace mirvane::settings
