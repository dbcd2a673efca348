// Free-format reading and the values it reads; its errors: parameter_file_test.cpp.

#include "input/free_format_reader.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <tuple>
#include <vector>

#include "input/value_text.h"

namespace survseq::input {
namespace {

using Reads = std::vector<std::vector<float>>;

TEST(FreeFormatReader, ReadsRealsInEveryConvention) {
  // A text, one read of each count into reals that start at -1, and what they hold.
  const std::tuple<const char*, std::vector<size_t>, Reads> cases[] = {
      {"1 2\t3,4 , 5 ,6\t,  7", {7}, {{1, 2, 3, 4, 5, 6, 7}}},
      // Short lines continue, empty lines are blanks; the next read starts on a new line.
      {"1 2\n\n  \n3\n4\n", {3, 1}, {{1, 2, 3}, {4}}}, {"junk\n2", {0, 1}, {{}, {2}}},
      {"1 2 3\n4 5\n6", {1, 1, 1}, {{1}, {4}, {6}}}, {"1 2\r\n3\r\n", {2, 1}, {{1, 2}, {3}}},
      // Repeat factors: copies, and values left unchanged; surplus copies are dropped.
      {"3*7 2", {4}, {{7, 7, 7, 2}}}, {"2* 5", {3}, {{-1, -1, 5}}}, {"2*,5", {3}, {{-1, -1, 5}}},
      {"5*1\n2", {2, 1}, {{1, 1}, {2}}}, {"2147483647*3", {2}, {{3, 3}}},
      // A comma with no value before it leaves one unchanged; a line end before a comma
      // is only a blank, a comma ending a line separates.
      {",2", {2}, {{-1, 2}}}, {"1, ,3", {3}, {{1, -1, 3}}}, {",,\n4", {3}, {{-1, -1, 4}}},
      {"1,\n,3", {3}, {{1, -1, 3}}}, {"1\n,3", {2}, {{1, 3}}},
      // A slash ends the read, leaving the rest unchanged.
      {"1 / 2\n3", {3, 1}, {{1, -1, -1}, {3}}}, {"1/2", {2}, {{1, -1}}},
      {"1\n\n/\n4", {3, 1}, {{1, -1, -1}, {4}}}};
  for (const auto& [text, counts, expected] : cases) {
    std::istringstream in(text);
    FreeFormatReader reader(in);
    Reads reads;
    for (size_t count : counts) reader.readReals(reads.emplace_back(count, -1.0f));
    EXPECT_EQ(reads, expected) << text;
  }
}

TEST(FreeFormatReader, ReadsTextQuotedOrBareAndTakesANameLiterally) {
  const std::pair<const char*, const char*> cases[] = {
      {"  'my file.out'  rest", "my file.out"}, {"\"a, b/c\"", "a, b/c"}, {"'it''s'", "it's"},
      {"\"say \"\"hi\"\"\"", "say \"hi\""}, {"it's", "it's"}, {"1* rest", "1*"},
      {"\n2*'twice'", "2*'twice'"}, {"/", "unchanged"}, {",", "unchanged"}};
  for (const auto& [text, expected] : cases) {
    std::istringstream in(text);
    std::string value = "unchanged";
    FreeFormatReader(in).readText(value);
    EXPECT_EQ(value, expected) << text;
  }
}

TEST(ValueText, WholeNumbersAreSignedDigitsWithinThirtyTwoBits) {
  const std::pair<const char*, int32_t> accepted[] = {
      {"+5", 5}, {"-123457", -123457}, {"007", 7}, {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<int32_t>::min()}, {"0000000000000000000000012", 12}};
  for (const auto& [text, value] : accepted) EXPECT_EQ(parseWholeNumber(text).value, value) << text;
  for (const std::string text : {"2.5", "1E1", "", "+", "12a", "1-2", "--1"})
    EXPECT_EQ(parseWholeNumber(text).problem, "expected a whole number, found '" + text + "'");
  for (const std::string text : {"2147483648", "-2147483649", "123456789012345678901234567890"})
    EXPECT_EQ(parseWholeNumber(text).problem,
              "the whole number '" + text + "' is outside the 32-bit range");
}

TEST(ValueText, RealsInEveryWritingAreRoundedOnceFromDouble) {
  const std::pair<const char*, float> accepted[] = {
      {".1E2", 10}, {"1e+1", 10}, {"100e-1", 10}, {"1D1", 10}, {"1d1", 10}, {"+10.", 10},
      {"-3.0e-2", static_cast<float>(-0.03)},
      // 8.4e-18 above 1 + 2^-24, the midpoint of two floats: as a double it becomes the
      // midpoint itself, which rounds to even, the float 1.
      {"1.00000005960464478379893765", 1.0f}, {"3.4028235e38", std::numeric_limits<float>::max()},
      // Below the smallest float the value is zero, even below the smallest double.
      {"1e-50", 0}, {"1e-400", 0}, {"0.000000000000000000000000000000000000000000001e-300", 0}};
  for (const auto& [text, value] : accepted) EXPECT_EQ(parseReal(text).value, value) << text;
  EXPECT_EQ(parseReal(std::string(400, '0') + "1e-400").value, 0.0f);  // leading zeros count not
  for (const std::string text : {"", ".", "-.", "e5", "1e+", "1.2.3", "inf", "nan", "0x10", "1,5",
                                 "--1", "1 e5", "1E1.5", "5%"})
    EXPECT_EQ(parseReal(text).problem, "expected a number, found '" + text + "'");
  for (const std::string text : {"1e39", "-3.5e38", "1e400", "1e99999999999999999999"})
    EXPECT_EQ(parseReal(text).problem,
              "the number '" + text + "' is outside the range of a single-precision real");
  // Shown as echoed values are: cut to 40 characters, control bytes escaped.
  EXPECT_EQ(parseReal("1\x01\x1b[2J").problem, "expected a number, found '1\\x01\\x1B[2J'");
}

}  // namespace
}  // namespace survseq::input
