// Values as the report and the messages show them.

#include "report/output_line.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <utility>

#include "report/message_text.h"

namespace survseq::report {
namespace {

const float kInfinity = std::numeric_limits<float>::infinity();

TEST(PlainLine, RealsTakeFifteenColumnsInTheFormOfTheirSevenDigitRounding) {
  const std::pair<float, const char*> cases[] = {
      {0.1f, "  0.1000000    "},        {0.09999999f, "  0.9999999E-01"},  // stays below 0.1
      {9999999.0f, "   9999999.    "},  {9999999.6f, "  0.1000000E+08"},   // the float is 1e7
      {-1.959964f, "  -1.959964    "},  {-0.05f, " -0.5000000E-01"},
      {0.0f, "  0.0000000E+00"},        {1.0e-30f, "  0.1000000E-29"},
      {kInfinity, "       Infinity"},   {std::nanf(""), "            NaN"}};
  for (const auto& [value, shown] : cases) EXPECT_EQ(formatPlainReal(value), shown) << value;
}

// Fields as the golden reports show them; beyond them:
TEST(LaidOutLine, FieldsOverflowToAsterisksAndShowNonFiniteValuesAsWords) {
  EXPECT_EQ(formatFixed(100.0f, 5, 2), "*****");
  EXPECT_EQ(formatInteger(123, 2), "**");
  EXPECT_EQ(formatFixed(-kInfinity, 9, 2), "-Infinity");
  EXPECT_EQ(formatFixed(kInfinity, 7, 2), "*******");
}

// A line that widens shows a number too wide for its field whole, after one blank, and
// leaves the numbers that fit exactly as the original layout has them.
TEST(LaidOutLine, AWideningLineShowsWhatOverflowsWholeAndTheRestInItsField) {
  const std::pair<float, const char*> cases[] = {{100.0f, "  100.00 |"},
                                                 {9999.99f, "  9999.99 |"},
                                                 {-12.5f, "  -12.50 |"},
                                                 {1.5f, "  1.50 |"}};
  for (const auto& [value, shown] : cases) {
    const std::string widened =
        LaidOutLine(Overflow::Widen).text(" ").fixed(value, 5, 2).text(" |").lines()[0];
    EXPECT_EQ(widened, shown) << value;
    const std::string kept = LaidOutLine().text(" ").fixed(value, 5, 2).text(" |").lines()[0];
    EXPECT_EQ(kept, " " + formatFixed(value, 5, 2) + " |") << value;
  }
  EXPECT_EQ(LaidOutLine(Overflow::Widen).integer(12345, 3).lines()[0], " 12345");
  EXPECT_EQ(LaidOutLine(Overflow::Widen).integer(12, 3).lines()[0], " 12");
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

TEST(EchoedValue, ShowsAtMostFortyCharactersWithControlBytesEscaped) {
  const std::string forty(40, '7');
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {forty, forty},                               // at the limit: whole
      {forty + "7", std::string(37, '7') + "..."},  // one more: cut to 37 and the mark
      {"a\tb\x01\x7f", "a\\x09b\\x01\\x7F"},         // control bytes and DEL
      {std::string(39, 'a') + "\xc3\xa9", std::string(39, 'a') + "\xc3\xa9"},  // one column
      // A C1 control, a stray byte, a sequence cut short, an overlong form, a surrogate
      // and a code point beyond U+10FFFF: every byte escaped.
      {"\xc2\x85|\xff|\xc3|\xe0\x80\x80", "\\xC2\\x85|\\xFF|\\xC3|\\xE0\\x80\\x80"},
      {"\xed\xa0\x80|\xf4\x90\x80\x80", "\\xED\\xA0\\x80|\\xF4\\x90\\x80\\x80"},
      {std::string(20, '\0'), "\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00..."},
      {std::string(35, 'a') + "\x01" "bb", std::string(35, 'a') + "..."},  // an escape is not split
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(echoedValue(text), shown) << text;
}

}  // namespace
}  // namespace survseq::report
