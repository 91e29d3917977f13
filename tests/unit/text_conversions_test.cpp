#include "settings/text_conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace mirvane::settings {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
constexpr auto kMin = std::numeric_limits<std::int64_t>::min();

// Out of range is told by the number's magnitude, not by the sign of its exponent.
const std::string kTiny = "0." + std::string(400, '0') + "1e5";  // 1e-396
const std::string kHuge = "1" + std::string(400, '0') + "e-10";  // 1e390

TEST(IntegerText, DigitsWithMinusOnlyForNegatives) {
  const struct {
    std::int64_t value;
    const char* text;
  } rows[] = {{0, "0"},   {2000, "2000"},       {65535, "65535"},
              {-5, "-5"}, {1000000, "1000000"}, {kMin, "-9223372036854775808"}};
  for (const auto& row : rows) EXPECT_EQ(IntegerText(row.value), row.text);
}

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
  const struct {
    std::string text;
    double value;
  } rows[] = {{"", 0},         {"750", 750},
              {"  750", 750},  {"\t750", 750},
              {"\n750", 750},  {"7 5\t0", 750},
              {"1\n2", 12},    {"750ms", 750},
              {"-12", -12},    {"+12", 12},
              {"- 12", -12},   {"1.5", 1.5},
              {".5", 0.5},     {"5.", 5},
              {"1.2.3", 1.2},  {"1e3", 1000},
              {"1E3", 1000},   {"1e+3", 1000},
              {"1e-3", 0.001}, {"1 e 3", 1000},
              {"1e", 1},       {"1e+", 1},
              {"1ex", 1},      {"2.5e1x", 25},
              {"abc", 0},      {"x1", 0},
              {"-", 0},        {".", 0},
              {"+-1", 0},      {"\r5", 0},
              {"5\r6", 5},     {"0x10", 0},
              {"1e-999", 0},   {"1" + std::string(100000, ' '), 1}};
  for (const auto& row : rows) EXPECT_DOUBLE_EQ(LeadingNumber(row.text), row.value) << row.text;
}

TEST(LeadingNumber, OutOfRangeGivesInfinityOfTheRightSignOrZero) {
  const struct {
    std::string text;
    double value;
  } rows[] = {{"1e999", kInf}, {"-1e999", -kInf}, {"1e99999999999999999999", kInf},
              {kTiny, 0.0},    {kHuge, kInf},     {std::string(100000, '9'), kInf}};
  for (const auto& row : rows) EXPECT_EQ(LeadingNumber(row.text), row.value) << row.text;
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbourAndOutsideSaturates) {
  const struct {
    double value;
    std::int64_t rounded;
  } rows[] = {{0, 0},           {0.5, 0},
              {1.5, 2},         {2.5, 2},
              {3.5, 4},         {0.6, 1},
              {0.4999, 0},      {2.5000001, 3},
              {-0.5, 0},        {-1.5, -2},
              {-2.5, -2},       {-0.6, -1},
              {65535.5, 65536}, {1e15 + 0.5, 1000000000000000},
              {1e300, kMax},    {9223372036854775808.0, kMax},
              {kInf, kMax},     {-1e300, kMin},
              {-kInf, kMin},    {std::nan(""), 0}};
  for (const auto& row : rows) EXPECT_EQ(RoundHalfEven(row.value), row.rounded) << row.value;
}

TEST(StrictInteger, WholeTextMustBeANumber) {
  const std::optional<std::int64_t> none;
  const struct {
    std::string text;
    std::optional<std::int64_t> integer;
  } rows[] = {{"750", 750},    {" 750 ", 750},  {"  2000", 2000}, {"\t750", none}, {"750\t", none},
              {"750ms", none}, {"", none},      {"   ", none},    {"1.5", 2},      {"2.5", 2},
              {"+3", 3},       {"-3", -3},      {".5", 0},        {"5.", 5},       {".", none},
              {"+", none},     {"1e3", 1000},   {"1E+3", 1000},   {"1e", none},    {"1e+", none},
              {"1 000", none}, {"1.2.3", none}, {"+-3", none},    {"abc", none},   {"0x10", none}};
  for (const auto& row : rows) EXPECT_EQ(StrictInteger(row.text), row.integer) << row.text;
}

TEST(StrictNumber, KeepsTheFraction) {
  const struct {
    std::string text;
    std::optional<double> value;
  } rows[] = {
      {" 1.25 ", 1.25}, {"-0.5", -0.5}, {"1.5x", std::nullopt}, {kTiny, 0.0}, {kHuge, kInf}};
  for (const auto& row : rows) EXPECT_EQ(StrictNumber(row.text), row.value) << row.text;
}

TEST(BoolText, SpelledExactlyAndReadInAnyCaseOrAsNumbers) {
  EXPECT_EQ(BoolToText(true), "True");
  EXPECT_EQ(BoolToText(false), "False");
  const std::optional<bool> none;
  const struct {
    std::string text;
    std::optional<bool> value;
  } rows[] = {{"True", true},   {"TRUE", true}, {"tRuE", true}, {"False", false}, {"false", false},
              {"FALSE", false}, {"1", true},    {"0", false},   {"0.0", false},   {"-2", true},
              {"0.4", true},    {" 1 ", true},  {"yes", none},  {"", none},       {"True ", none},
              {" False", none}, {"Tru", none},  {"1x", none}};
  for (const auto& row : rows) EXPECT_EQ(TextToBool(row.text), row.value) << row.text;
}

}  // namespace
}  // namespace mirvane::settings
