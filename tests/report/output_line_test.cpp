#include "report/output_line.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <sstream>

namespace survseq::report {
namespace {

const float kInfinity = std::numeric_limits<float>::infinity();

TEST(PlainLine, RealsTakeFifteenColumnsInTheFormOfTheirSevenDigitRounding) {
  const std::pair<float, const char*> cases[] = {
      {50.0f, "   50.00000    "},       {0.05f, "  0.5000000E-01"},
      {0.1f, "  0.1000000    "},        {0.09999999f, "  0.9999999E-01"},  // stays below 0.1
      {9999999.0f, "   9999999.    "},  {9999999.6f, "  0.1000000E+08"},   // the float is 1e7
      {-1.959964f, "  -1.959964    "},  {-0.05f, " -0.5000000E-01"},
      {0.0f, "  0.0000000E+00"},        {1.0e-30f, "  0.1000000E-29"},
      {kInfinity, "       Infinity"},   {std::nanf(""), "            NaN"}};
  for (const auto& [value, shown] : cases) EXPECT_EQ(formatPlainReal(value), shown) << value;
}

TEST(LaidOutLine, FieldsRoundRightAlignAndOverflowToAsterisks) {
  EXPECT_EQ(formatFixed(-0.5f, 4, 1), "-0.5");
  EXPECT_EQ(formatFixed(2.0049f, 6, 2), "  2.00");
  EXPECT_EQ(formatFixed(100.0f, 5, 2), "*****");
  EXPECT_EQ(formatInteger(123, 2), "**");
  // Non-finite values as words, right-aligned; asterisks when the word does not fit.
  EXPECT_EQ(formatFixed(-kInfinity, 9, 2), "-Infinity");
  EXPECT_EQ(formatFixed(std::nanf(""), 6, 2), "   NaN");
  EXPECT_EQ(formatFixed(kInfinity, 7, 2), "*******");
}

// Values wrap after the count of a group, as the golden reports show; at the edges:
TEST(LaidOutLine, AGroupThatFillsItsLineOpensNoEmptyOneButASlashDoes) {
  const std::array<float, 12> times{1, 2};
  EXPECT_EQ(LaidOutLine().repeated(times, 12, FixedGroup{1, 5, 2, 0}).lines().size(), 1u);
  std::ostringstream out;
  LaidOutLine().blanks(1).repeated(std::span(times).first(2), 5, FixedGroup{0, 7, 2, 1})
      .endLine().text("x").writeTo(out);
  EXPECT_EQ(out.str(), "    1.00    2.00 \nx\n");
}

}  // namespace
}  // namespace survseq::report
