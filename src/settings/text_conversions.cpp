#include "settings/text_conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace mirvane::settings {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualsIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

// Whether `number` (sign, digits with an optional ".", optional exponent), which
// does not fit a double, is too large rather than too small.
bool Overflows(std::string_view number) {
  const auto e = number.find_first_of("eE");
  const std::string_view mantissa = number.substr(0, e);
  std::int64_t exponent = 0;
  if (e != std::string_view::npos) {
    std::size_t i = e + 1;
    const bool negative = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) ++i;
    for (; i < number.size(); ++i) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (number[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  const auto point = std::min(mantissa.find('.'), mantissa.size());
  const auto first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return false;
  // The first significant digit stands for 10^(place - 1).
  const std::int64_t place = first < point ? static_cast<std::int64_t>(point - first)
                                           : -static_cast<std::int64_t>(first - point - 1);
  return place + exponent > 0;
}

// Parses a number already stripped of everything but its own characters. An
// exponent beyond the double range gives an infinity of the right sign.
double ParseClean(const std::string& number) {
  double value = 0;
  const char* first = number.data();
  const char* last = first + number.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error == std::errc::result_out_of_range) {
    // from_chars leaves the value alone here.
    const bool negative = number.find('-') == 0;
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    if (Overflows(number)) return negative ? -kInfinity : kInfinity;
    return negative ? -0.0 : 0.0;
  }
  (void)end;
  return value;
}

}  // namespace

std::string IntegerText(std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

double LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  auto skip = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
  };
  std::string number;
  skip();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
  bool digits = false;
  bool point = false;
  for (skip(); i < text.size(); skip()) {
    if (IsDigit(text[i])) {
      digits = true;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
    number += text[i++];
  }
  if (!digits) return 0;
  // The exponent counts only when digits follow its letter and sign.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::string exponent = "e";
    ++i;
    skip();
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) exponent += text[i++];
    bool exponent_digits = false;
    for (skip(); i < text.size() && IsDigit(text[i]); skip()) {
      exponent += text[i++];
      exponent_digits = true;
    }
    if (exponent_digits) number += exponent;
  }
  return ParseClean(number);
}

std::int64_t RoundHalfEven(double value) {
  constexpr double kLimit = 9223372036854775807.0;  // 2^63
  if (std::isnan(value)) return 0;
  if (value >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (value <= -kLimit) return std::numeric_limits<std::int64_t>::min();
  const double floor = std::floor(value);
  const double fraction = value - floor;
  double rounded = floor;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) rounded = floor + 1;
  return static_cast<std::int64_t>(rounded);
}

std::optional<double> StrictNumber(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  const std::size_t mantissa = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  bool digits = i > mantissa;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fraction = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    digits = digits || i > fraction;
  }
  if (!digits) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponent = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == exponent) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  return ParseClean(std::string(text));
}

std::optional<std::int64_t> StrictInteger(std::string_view text) {
  const auto number = StrictNumber(text);
  if (!number) return std::nullopt;
  return RoundHalfEven(*number);
}

std::string BoolToText(bool value) { return value ? "True" : "False"; }

std::optional<bool> TextToBool(std::string_view text) {
  if (EqualsIgnoringCase(text, "true")) return true;
  if (EqualsIgnoringCase(text, "false")) return false;
  const auto number = StrictNumber(text);
  if (!number) return std::nullopt;
  return *number != 0;
}

}  // namespace mirvane::settings
