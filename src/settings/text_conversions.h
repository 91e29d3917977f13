#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Conversions used where settings and the interval pass through text.
namespace mirvane::settings {

// Decimal digits, "-" in front of a negative number; nothing else.
std::string IntegerText(std::int64_t value);

// The number at the start of `text`. Blanks, tabs and line feeds are skipped
// wherever they stand; then an optional sign, digits with at most one ".", and an
// optional exponent. The rest is ignored; no number at the start gives 0.
double LeadingNumber(std::string_view text);

// Nearest integer, halves to the even neighbour; saturates at the int64 range.
std::int64_t RoundHalfEven(double value);

// The whole text, blanks around it aside, as a number (sign, digits, optional
// fraction and exponent); nothing for anything else, the empty text included.
std::optional<double> StrictNumber(std::string_view text);

// StrictNumber rounded with RoundHalfEven.
std::optional<std::int64_t> StrictInteger(std::string_view text);

// "True" or "False".
std::string BoolToText(bool value);

// "True"/"False" in any letter case, or a StrictNumber (zero is false); nothing
// for anything else.
std::optional<bool> TextToBool(std::string_view text);

}  // namespace mirvane::settings
