#include "tester/core/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "tests/tester/core/tester_fakes.h"

namespace zorntest {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(NumberInText, ReadsTheLeadingNumberToTheNearestInteger) {
  const struct {
    const char* text;
    std::int32_t number;
  } cases[] = {
      {"5", 5},
      {"2.5", 2},
      {"3.5", 4},
      {"1.5", 2},
      {"0.5", 0},
      {"0.51", 1},
      {"-0.5", 0},
      {" -2.5", -2},
      {"-3.5", -4},
      {"7x", 7},
      {"12abc34", 12},
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {".", 0},
      {".5", 0},
      {"-.75", -1},
      {"+3", 3},
      {"2e1", 20},
      {"2E+2", 200},
      {"25e-1", 2},
      {"2e", 2},  // an exponent without digits is not part of the number
      {"2e+", 2},
      {"2ex3", 2},
      {"1.5.3", 2},
      {"1,5", 1},  // the decimal point is '.' whatever the system's settings
      {"\t 42", 42},
      {"1 000", 1000},  // blanks are skipped inside the number as well
      {"- 7", -7},
      {"0x1A", 0},
      {"nan", 0},  // words, also these, are no numbers
      {"inf", 0},
      {"-infinity", 0},
      // Beyond the 32-bit range: the nearest 32-bit value.
      {"2147483647", kMax},
      {"2147483647.4", kMax},
      {"2147483646.5", 2147483646},
      {"2147483648", kMax},
      {"3000000000", kMax},
      {"-2147483648", kMin},
      {"-2147483649", kMin},
      {"1e999", kMax},
      {"-1e999", kMin},
      {"1e-999", 0},
      {"99999999999999999999999999999", kMax},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NumberInText(test::Widen(c.text)), c.number) << '"' << c.text << '"';
  }
}

TEST(NumberInText, ReadsFractionsAndExponentsAsTheirValue) {
  EXPECT_DOUBLE_EQ(LeadingNumber(u"1.5"), 1.5);
  EXPECT_DOUBLE_EQ(LeadingNumber(u" -0.125e2 apples"), -12.5);
  EXPECT_TRUE(std::isinf(LeadingNumber(u"1e400")));
  EXPECT_GT(LeadingNumber(u"1e400"), 0.0);
}

TEST(NearestInt32, HalvesGoToTheEvenNeighbourAndNothingLeavesTheRange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    std::int32_t number;
  } cases[] = {
      {0.0, 0},          {-0.0, 0},  {0.49999, 0},          {1.5, 2},      {2.5, 2},
      {-1.5, -2},        {-2.5, -2}, {1e10, kMax},          {-1e10, kMin}, {infinity, kMax},
      {-infinity, kMin}, {nan, 0},   {-2147483648.5, kMin},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NearestInt32(c.value), c.number) << c.value;
  }
}

}  // namespace
}  // namespace zorntest
