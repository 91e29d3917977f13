#include "settings/text_conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

namespace mirvane::settings {
namespace {

TEST(IntegerText, DigitsWithMinusOnlyForNegatives) {
  EXPECT_EQ(IntegerText(0), "0");
  EXPECT_EQ(IntegerText(2000), "2000");
  EXPECT_EQ(IntegerText(65535), "65535");
  EXPECT_EQ(IntegerText(-5), "-5");
  EXPECT_EQ(IntegerText(1000000), "1000000");
  EXPECT_EQ(IntegerText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

struct LeadingCase {
  std::string text;
  double value;
};

void PrintTo(const LeadingCase& c, std::ostream* os) { *os << testing::PrintToString(c.text); }

class LeadingNumberTest : public testing::TestWithParam<LeadingCase> {};

TEST_P(LeadingNumberTest, ReadsTheNumberAtTheStart) {
  EXPECT_DOUBLE_EQ(LeadingNumber(GetParam().text), GetParam().value) << "text: " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LeadingNumberTest,
    testing::Values(LeadingCase{"", 0}, LeadingCase{"750", 750}, LeadingCase{"  750", 750},
                    LeadingCase{"\t750", 750}, LeadingCase{"\n750", 750},
                    LeadingCase{"7 5\t0", 750}, LeadingCase{"1\n2", 12}, LeadingCase{"750ms", 750},
                    LeadingCase{"-12", -12}, LeadingCase{"+12", 12}, LeadingCase{"- 12", -12},
                    LeadingCase{"1.5", 1.5}, LeadingCase{".5", 0.5}, LeadingCase{"5.", 5},
                    LeadingCase{"1.2.3", 1.2}, LeadingCase{"1e3", 1000}, LeadingCase{"1E3", 1000},
                    LeadingCase{"1e+3", 1000}, LeadingCase{"1e-3", 0.001},
                    LeadingCase{"1 e 3", 1000}, LeadingCase{"1e", 1}, LeadingCase{"1e+", 1},
                    LeadingCase{"1ex", 1}, LeadingCase{"2.5e1x", 25}, LeadingCase{"abc", 0},
                    LeadingCase{"x1", 0}, LeadingCase{"-", 0}, LeadingCase{".", 0},
                    LeadingCase{"+-1", 0}, LeadingCase{"\r5", 0}, LeadingCase{"5\r6", 5},
                    LeadingCase{"0x10", 0}, LeadingCase{"1e-999", 0}));

TEST(LeadingNumber, HugeExponentsGiveInfinityOfTheRightSign) {
  EXPECT_EQ(LeadingNumber("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(LeadingNumber("-1e999"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(LeadingNumber("1e99999999999999999999"), std::numeric_limits<double>::infinity());
}

// Out of range is told by the number's magnitude, not by the sign of its exponent.
TEST(LeadingNumber, TellsOverflowFromUnderflowByMagnitude) {
  const std::string tiny = "0." + std::string(400, '0') + "1e5";  // 1e-396
  const std::string huge = "1" + std::string(400, '0') + "e-10";  // 1e390
  EXPECT_EQ(LeadingNumber(tiny), 0.0);
  EXPECT_EQ(LeadingNumber(huge), std::numeric_limits<double>::infinity());
  EXPECT_EQ(StrictNumber(tiny), 0.0);
  EXPECT_EQ(StrictNumber(huge), std::numeric_limits<double>::infinity());
}

TEST(LeadingNumber, LongTextStaysFinite) {
  EXPECT_EQ(LeadingNumber(std::string(100000, '9')), std::numeric_limits<double>::infinity());
  EXPECT_DOUBLE_EQ(LeadingNumber("1" + std::string(100000, ' ')), 1);
}

struct RoundCase {
  double value;
  std::int64_t rounded;
};

void PrintTo(const RoundCase& c, std::ostream* os) { *os << c.value; }

class RoundHalfEvenTest : public testing::TestWithParam<RoundCase> {};

TEST_P(RoundHalfEvenTest, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(GetParam().value), GetParam().rounded) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Table, RoundHalfEvenTest,
                         testing::Values(RoundCase{0, 0}, RoundCase{0.5, 0}, RoundCase{1.5, 2},
                                         RoundCase{2.5, 2}, RoundCase{3.5, 4}, RoundCase{0.6, 1},
                                         RoundCase{0.4999, 0}, RoundCase{2.5000001, 3},
                                         RoundCase{-0.5, 0}, RoundCase{-1.5, -2},
                                         RoundCase{-2.5, -2}, RoundCase{-0.6, -1},
                                         RoundCase{65535.5, 65536},
                                         RoundCase{1e15 + 0.5, 1000000000000000}));

TEST(RoundHalfEven, SaturatesOutsideTheIntegerRange) {
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  EXPECT_EQ(RoundHalfEven(1e300), kMax);
  EXPECT_EQ(RoundHalfEven(9223372036854775808.0), kMax);
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::infinity()), kMax);
  EXPECT_EQ(RoundHalfEven(-1e300), kMin);
  EXPECT_EQ(RoundHalfEven(-std::numeric_limits<double>::infinity()), kMin);
  EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
}

struct StrictCase {
  std::string text;
  std::optional<std::int64_t> integer;
};

void PrintTo(const StrictCase& c, std::ostream* os) { *os << testing::PrintToString(c.text); }

class StrictIntegerTest : public testing::TestWithParam<StrictCase> {};

TEST_P(StrictIntegerTest, WholeTextMustBeANumber) {
  EXPECT_EQ(StrictInteger(GetParam().text), GetParam().integer)
      << "text: [" << GetParam().text << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Table, StrictIntegerTest,
    testing::Values(StrictCase{"750", 750}, StrictCase{" 750 ", 750}, StrictCase{"  2000", 2000},
                    StrictCase{"\t750", std::nullopt}, StrictCase{"750\t", std::nullopt},
                    StrictCase{"750ms", std::nullopt}, StrictCase{"", std::nullopt},
                    StrictCase{"   ", std::nullopt}, StrictCase{"1.5", 2}, StrictCase{"2.5", 2},
                    StrictCase{"+3", 3}, StrictCase{"-3", -3}, StrictCase{".5", 0},
                    StrictCase{"5.", 5}, StrictCase{".", std::nullopt},
                    StrictCase{"+", std::nullopt}, StrictCase{"1e3", 1000},
                    StrictCase{"1E+3", 1000}, StrictCase{"1e", std::nullopt},
                    StrictCase{"1e+", std::nullopt}, StrictCase{"1 000", std::nullopt},
                    StrictCase{"1.2.3", std::nullopt}, StrictCase{"+-3", std::nullopt},
                    StrictCase{"abc", std::nullopt}, StrictCase{"0x10", std::nullopt}));

TEST(StrictNumber, KeepsTheFraction) {
  EXPECT_EQ(StrictNumber(" 1.25 "), 1.25);
  EXPECT_EQ(StrictNumber("-0.5"), -0.5);
  EXPECT_EQ(StrictNumber("1.5x"), std::nullopt);
}

TEST(BoolToText, SpelledExactly) {
  EXPECT_EQ(BoolToText(true), "True");
  EXPECT_EQ(BoolToText(false), "False");
}

struct BoolCase {
  std::string text;
  std::optional<bool> value;
};

void PrintTo(const BoolCase& c, std::ostream* os) { *os << testing::PrintToString(c.text); }

class TextToBoolTest : public testing::TestWithParam<BoolCase> {};

TEST_P(TextToBoolTest, WordsInAnyCaseOrNumbers) {
  EXPECT_EQ(TextToBool(GetParam().text), GetParam().value) << "text: [" << GetParam().text << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextToBoolTest,
    testing::Values(BoolCase{"True", true}, BoolCase{"TRUE", true}, BoolCase{"tRuE", true},
                    BoolCase{"False", false}, BoolCase{"false", false}, BoolCase{"FALSE", false},
                    BoolCase{"1", true}, BoolCase{"0", false}, BoolCase{"0.0", false},
                    BoolCase{"-2", true}, BoolCase{"0.4", true}, BoolCase{" 1 ", true},
                    BoolCase{"yes", std::nullopt}, BoolCase{"", std::nullopt},
                    BoolCase{"True ", std::nullopt}, BoolCase{" False", std::nullopt},
                    BoolCase{"Tru", std::nullopt}, BoolCase{"1x", std::nullopt}));

}  // namespace
}  // namespace mirvane::settings
