// Reading single values: the forms of whole numbers and reals that are accepted, and
// the words for those that are not.

#include "input/value_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace survseq::input {
namespace {

TEST(WholeNumbers, SignedDigitsWithinThirtyTwoBits) {
  EXPECT_EQ(parseWholeNumber("0").value, 0);
  EXPECT_EQ(parseWholeNumber("+5").value, 5);
  EXPECT_EQ(parseWholeNumber("-123457").value, -123457);
  EXPECT_EQ(parseWholeNumber("007").value, 7);
  EXPECT_EQ(parseWholeNumber("2147483647").value, 2147483647);
  EXPECT_EQ(parseWholeNumber("-2147483648").value, std::numeric_limits<int32_t>::min());
  EXPECT_EQ(parseWholeNumber("0000000000000000000000000012").value, 12);
}

TEST(WholeNumbers, AnythingElseIsRefusedInWords) {
  for (const char* text : {"2.5", "1E1", "10.", "abc", "", "+", "-", "12a", "1-2", "--1"}) {
    const ParsedValue<int32_t> parsed = parseWholeNumber(text);
    EXPECT_FALSE(parsed.value) << text;
    EXPECT_EQ(parsed.problem, "expected a whole number, found '" + std::string(text) + "'");
  }
  for (const char* text : {"2147483648", "-2147483649", "123456789012345678901234567890"}) {
    EXPECT_EQ(parseWholeNumber(text).problem,
              "the whole number '" + std::string(text) + "' is outside the 32-bit range");
  }
}

TEST(Reals, AllWritingsOfOneValueAgree) {
  for (const char* text :
       {"10", "10.0", "1E1", ".1E2", "1e+1", "100e-1", "1D1", "1d1", "+10.", "0010"}) {
    EXPECT_EQ(parseReal(text).value, 10.0f) << text;
  }
  EXPECT_EQ(parseReal("+5").value, 5.0f);
  EXPECT_EQ(parseReal("-3.0e-2").value, static_cast<float>(-0.03));
  EXPECT_EQ(parseReal("0.1").value, 0.1f);
}

TEST(Reals, AreRoundedOnceFromDouble) {
  // This lies 8.4e-18 above 1 + 2^-24, the midpoint of two floats; as a double it
  // becomes the midpoint itself, which rounds to even: the float 1.
  EXPECT_EQ(parseReal("1.00000005960464478379893765").value, 1.0f);
  // The largest float in decimal, and a value just above it that still rounds down.
  EXPECT_EQ(parseReal("3.4028235e38").value, std::numeric_limits<float>::max());
  // Below the smallest float the value is zero, even below the smallest double.
  EXPECT_EQ(parseReal("1e-50").value, 0.0f);
  EXPECT_EQ(parseReal("1e-400").value, 0.0f);
  EXPECT_EQ(parseReal("0.000000000000000000000000000000000000000000001e-300").value, 0.0f);
}

TEST(Reals, FormsThatAreNotNumbersAreRefused) {
  for (const char* text : {"", ".", "-.", "e5", "1e", "1e+", "1.2.3", "abc", "inf", "nan", "0x10",
                           "1e5x", "1,5", "--1", "1 e5", "1E1.5", "5%"}) {
    const ParsedValue<float> parsed = parseReal(text);
    EXPECT_FALSE(parsed.value) << text;
    EXPECT_EQ(parsed.problem, "expected a number, found '" + std::string(text) + "'");
  }
}

TEST(Reals, ValuesBeyondSinglePrecisionAreRefused) {
  for (const char* text : {"1e39", "-3.5e38", "1e400", "1e99999999999999999999",
                           "100000000000000000000000000000000000000000e-2"}) {
    EXPECT_EQ(parseReal(text).problem, "the number '" + std::string(text) +
                                           "' is outside the range of a single-precision real")
        << text;
  }
}

}  // namespace
}  // namespace survseq::input
