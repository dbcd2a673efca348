#include "report/output_line.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <sstream>

namespace survseq::report {
namespace {

TEST(PlainLine, RealsTakeFifteenColumnsInTheFormOfTheirSevenDigitRounding) {
  const struct {
    float value;
    const char* shown;
  } cases[] = {
      {50.0f, "   50.00000    "},       {0.05f, "  0.5000000E-01"},
      {0.5f, "  0.5000000    "},        {-1.959964f, "  -1.959964    "},
      {0.1f, "  0.1000000    "},        {0.09999999f, "  0.9999999E-01"},  // stays below 0.1
      {9999999.0f, "   9999999.    "},  {9999999.6f, "  0.1000000E+08"},   // the float is 1e7
      {-0.05f, " -0.5000000E-01"},      {0.0f, "  0.0000000E+00"},
      {1.0e-30f, "  0.1000000E-29"},    {std::numeric_limits<float>::infinity(), "       Infinity"},
      {std::nanf(""), "            NaN"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatPlainReal(c.value), c.shown) << c.value;
}

TEST(PlainLine, ItemsFollowOneBlankWithoutSeparators) {
  EXPECT_EQ(plainLine({"The", 2, "   th v0 is too large."}),
            " The           2   th v0 is too large.");
  EXPECT_EQ(plainLine({"no. of simulation=", -17}), " no. of simulation=         -17");
  EXPECT_EQ(plainLine({}), "");
  std::ostringstream out;
  writePlainLine(out, {"b is", 3.0f});
  EXPECT_EQ(out.str(), " b is   3.000000    \n");
}

TEST(LaidOutLine, FieldsRoundRightAlignAndOverflowToAsterisks) {
  EXPECT_EQ(formatFixed(-0.5f, 4, 1), "-0.5");
  EXPECT_EQ(formatFixed(2.0049f, 6, 2), "  2.00");
  EXPECT_EQ(formatFixed(100.0f, 5, 2), "*****");
  EXPECT_EQ(formatInteger(-123457, 10), "   -123457");
  EXPECT_EQ(formatInteger(123, 2), "**");
  // Non-finite values as words, right-aligned; asterisks when the word does not fit.
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(formatFixed(inf, 9, 3), " Infinity");
  EXPECT_EQ(formatFixed(-inf, 9, 2), "-Infinity");
  EXPECT_EQ(formatFixed(std::nanf(""), 6, 2), "   NaN");
  EXPECT_EQ(formatFixed(inf, 7, 2), "*******");
  EXPECT_EQ(formatFixed(std::nanf(""), 2, 0), "**");
  std::ostringstream out;
  LaidOutLine().text("The hazard ratio on [0,").fixed(4.0f, 5, 2).text("] is set to 1.").writeTo(out);
  EXPECT_EQ(out.str(), "The hazard ratio on [0, 4.00] is set to 1.\n");
}

TEST(LaidOutLine, RepeatedGroupWrapsAfterNValuesStartingAgainWithItsFirstPart) {
  std::array<float, 14> times{};
  for (size_t i = 0; i < times.size(); ++i) times[i] = static_cast<float>(i + 1);
  const auto lines = LaidOutLine().text("T =").repeated(times, 12, FixedGroup{1, 5, 2, 0}).lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 15), "T =  1.00  2.00");
  EXPECT_EQ(lines[0].size(), 3u + 12u * 6u);
  EXPECT_EQ(lines[1], " 13.00 14.00");
  // A group that exactly fills its line opens no empty one; a slash does.
  EXPECT_EQ(LaidOutLine().repeated(std::span(times).first(12), 12, FixedGroup{1, 5, 2, 0}).lines().size(), 1u);
  std::ostringstream out;
  LaidOutLine().blanks(1).repeated(std::span(times).first(2), 5, FixedGroup{0, 7, 2, 1}).endLine().text("x").writeTo(out);
  EXPECT_EQ(out.str(), "    1.00    2.00 \nx\n");
}

}  // namespace
}  // namespace survseq::report
