#include "search/output_line.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <sstream>

namespace survseq::search {
namespace {

TEST(PlainLine, DocumentedRealsTakeFifteenColumns) {
  EXPECT_EQ(plainLine({50.0f}), "    50.00000    ");
  EXPECT_EQ(plainLine({0.05f}), "   0.5000000E-01");
  EXPECT_EQ(formatPlainReal(0.5f), "  0.5000000    ");
  EXPECT_EQ(formatPlainReal(1.959964f), "   1.959964    ");
}

TEST(PlainLine, FormIsChosenFromTheValueRoundedToSevenDigits) {
  // The float nearest 0.09999999 keeps seven nines, so it stays below 0.1; the float
  // nearest 9999999.6 is 1e7 and leaves fixed notation.
  EXPECT_EQ(formatPlainReal(0.09999999f), "  0.9999999E-01");
  EXPECT_EQ(formatPlainReal(0.1f), "  0.1000000    ");
  EXPECT_EQ(formatPlainReal(0.0999999f), "  0.9999990E-01");
  EXPECT_EQ(formatPlainReal(9999999.0f), "   9999999.    ");
  EXPECT_EQ(formatPlainReal(9999999.6f), "  0.1000000E+08");
  EXPECT_EQ(formatPlainReal(1234567.0f), "   1234567.    ");
}

TEST(PlainLine, NegativeZeroAndNonFiniteReals) {
  EXPECT_EQ(formatPlainReal(-1.959964f), "  -1.959964    ");
  EXPECT_EQ(formatPlainReal(-0.05f), " -0.5000000E-01");
  EXPECT_EQ(formatPlainReal(0.0f), "  0.0000000E+00");
  EXPECT_EQ(formatPlainReal(1.0e-30f), "  0.1000000E-29");
  EXPECT_EQ(formatPlainReal(std::numeric_limits<float>::infinity()), "       Infinity");
  EXPECT_EQ(formatPlainReal(std::nanf("")), "            NaN");
  for (float x : {0.1f, 0.37f, 123.456f, 1.0e-5f, 3.0e12f, -7.5e-20f}) {
    EXPECT_EQ(formatPlainReal(x).size(), 15u) << x;
  }
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

TEST(FixedField, RoundsRightAlignsAndOverflowsToAsterisks) {
  EXPECT_EQ(formatFixed(4.0f, 5, 2), " 4.00");
  EXPECT_EQ(formatFixed(-0.5f, 4, 1), "-0.5");
  EXPECT_EQ(formatFixed(2.0049f, 6, 2), "  2.00");
  EXPECT_EQ(formatFixed(100.0f, 5, 2), "*****");
  EXPECT_EQ(formatFixed(-10.0f, 4, 1), "****");
  EXPECT_EQ(formatInteger(-123457, 10), "   -123457");
  EXPECT_EQ(formatInteger(123, 2), "**");
}

TEST(LaidOutLine, PartsAreWrittenExactly) {
  std::ostringstream out;
  LaidOutLine().text("The hazard ratio on [0,").fixed(4.0f, 5, 2).text("] is set to 1.").writeTo(out);
  EXPECT_EQ(out.str(), "The hazard ratio on [0, 4.00] is set to 1.\n");
}

TEST(LaidOutLine, RepeatedGroupWrapsAndStartsAgainWithItsFirstPart) {
  std::array<float, 14> times{};
  for (size_t i = 0; i < times.size(); ++i) times[i] = static_cast<float>(i + 1);
  const auto lines = LaidOutLine()
                         .text("T =")
                         .repeated(times, 12, FixedGroup{1, 5, 2, 0})
                         .lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 15), "T =  1.00  2.00");
  EXPECT_EQ(lines[0].size(), 3u + 12u * 6u);
  EXPECT_EQ(lines[1], " 13.00 14.00");
}

TEST(LaidOutLine, GroupWithTrailingBlanksAndSlash) {
  const std::array<float, 2> values{10.0f, 50.0f};
  std::ostringstream out;
  LaidOutLine()
      .text("A =")
      .blanks(1)
      .repeated(values, 5, FixedGroup{0, 7, 2, 1})
      .endLine()
      .text("next")
      .writeTo(out);
  EXPECT_EQ(out.str(), "A =   10.00   50.00 \nnext\n");
}

TEST(LaidOutLine, ExactlyFullGroupDoesNotOpenAnEmptyLine) {
  const std::array<float, 2> values{1.0f, 2.0f};
  EXPECT_EQ(LaidOutLine().repeated(values, 2, FixedGroup{1, 4, 1, 0}).lines().size(), 1u);
}

}  // namespace
}  // namespace survseq::search
