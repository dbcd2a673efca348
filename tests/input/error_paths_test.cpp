// Everything that ends the run while the file is read: unreadable values, an early
// end of input, and the limits beyond which a design is refused. Each names the
// physical line, and nothing after that line is read or repaired.

#include <gtest/gtest.h>

#include "input/parameter_file_builder.h"

namespace survseq::input {
namespace {

using testing::Failure;
using testing::readFailure;
using testing::validFile;
using testing::zeroFile;

void expectFailure(const testing::LineTexts& replaced, int32_t line, const std::string& message) {
  const Failure failure = readFailure(validFile(replaced));
  EXPECT_EQ(failure.line, line);
  EXPECT_EQ(failure.message, message);
}

TEST(UnreadableValues, NameTheLineAndTheText) {
  expectFailure({{17, "abc"}}, 17, "expected a whole number, found 'abc'");
  expectFailure({{20, "2.5"}}, 20, "expected a whole number, found '2.5'");
  expectFailure({{37, "99999999999"}}, 37,
                "the whole number '99999999999' is outside the 32-bit range");
  expectFailure({{40, "five%"}}, 40, "expected a number, found 'five%'");
  expectFailure({{88, "10 20 1e39"}}, 88,
                "the number '1e39' is outside the range of a single-precision real");
  expectFailure({{23, "10 20\nx"}}, 24, "expected a number, found 'x'");
  expectFailure({{14, "'design.out"}}, 14, "the quoted text has no closing apostrophe");
  expectFailure({{14, "''"}}, 14, "no output file name is given");
  expectFailure({{26, "0*3"}}, 26, "the repeat factor in '0*3' must be a positive whole number");
}

TEST(UnreadableValues, NothingAfterTheFailingLineIsRead) {
  const Failure failure = readFailure(zeroFile({{20, "two"}}));
  EXPECT_EQ(failure.console,
            "  The Lan-Demets method is chosen.\n"
            "  The seed is set to -123457.\n");
  EXPECT_EQ(failure.design.analysisCount, 0);
}

TEST(EndOfInput, BeforeLine152EndsTheRunAtTheMissingLine) {
  const std::string file = validFile();
  const auto firstLines = [&file](int count) {
    size_t end = 0;
    for (int i = 0; i < count; ++i) end = file.find('\n', end) + 1;
    return file.substr(0, end);
  };
  const std::string expected = "unexpected end of input (the parameter file has 152 lines)";
  for (int kept : {0, 10, 100, 151}) {
    const Failure failure = readFailure(firstLines(kept));
    EXPECT_EQ(failure.line, kept + 1);
    EXPECT_EQ(failure.message, expected);
  }
  // A read continued past the end of input ends the same way.
  const Failure inRead = readFailure(firstLines(151) + "0.03");
  EXPECT_EQ(inRead.line, 153);
  EXPECT_EQ(inRead.message, expected);
  // The last line needs no line end.
  EXPECT_EQ(readFailure(firstLines(151) + "0.03 0.04").message, "(no error)");
}

TEST(EndOfInput, AnOverlongDataLineIsRefused) {
  const std::string longLine(2 << 20, ' ');
  EXPECT_EQ(readFailure(validFile({{12, longLine}})).message, "(no error)");
  const Failure failure = readFailure(validFile({{17, longLine + "5"}}));
  EXPECT_EQ(failure.line, 17);
  EXPECT_EQ(failure.message, "the line is longer than 1048576 characters");
}

TEST(DesignLimits, CountsMustFitTheirTables) {
  expectFailure({{20, "16"}}, 20, "the number of analyses is 16; at most 15 are supported");
  expectFailure({{26, "-1"}}, 26, "the number of test statistics is -1; at least 1 is needed");
  expectFailure({{26, "6"}}, 26, "the number of test statistics is 6; at most 5 are supported");
  expectFailure({{74, "-1"}}, 74,
                "the number of intervals of the baseline curve is -1; at least 1 is needed");
  expectFailure({{74, "21"}}, 74,
                "the number of intervals of the baseline curve is 21; at most 20 are supported");
  expectFailure({{100, "21"}}, 100,
                "the number of hazard-ratio intervals is 21; at most 20 are supported");
  expectFailure({{118, "21"}}, 118,
                "the number of intervals of the control censoring curve is 21; at most 20 are "
                "supported");
  expectFailure({{129, "21"}}, 129,
                "the number of intervals of the treatment censoring curve is 21; at most 20 are "
                "supported");
  expectFailure({{140, "21"}}, 140, "the number of drop-in points is 21; at most 20 are supported");
  expectFailure({{148, "21"}}, 148,
                "the number of drop-out points is 21; at most 20 are supported");
}

TEST(DesignLimits, CountsAtTheirCapacitiesAreAccepted) {
  const std::string fifteen = "15*10";
  const std::string twenty = "20*1";
  const testing::Reading reading = testing::readFile(validFile({{20, "15"},
                                                                {23, fifteen},
                                                                {49, fifteen},
                                                                {61, fifteen},
                                                                {26, "5"},
                                                                {30, "5*0"},
                                                                {33, "5*0"},
                                                                {148, "20"},
                                                                {150, twenty},
                                                                {152, twenty}}));
  EXPECT_EQ(reading.design.analysisTimes[15], 10.0f);
  EXPECT_EQ(reading.design.tau[5], 0.0f);
  EXPECT_EQ(reading.design.dropOutRates[20], 1.0f);
}

TEST(DesignLimits, CodesWithoutMeaning) {
  expectFailure({{11, "5"}}, 11, "the boundary method is 5; it must be 1, 2, 3 or 4");
  expectFailure({{11, "-1"}}, 11, "the boundary method is -1; it must be 1, 2, 3 or 4");
  expectFailure({{43, "3"}}, 43, "the number of sides is 3; it must be 1 or 2");
  expectFailure({{43, "-2"}}, 43, "the number of sides is -2; it must be 1 or 2");
}

TEST(DesignLimits, AccrualMustBeSimulable) {
  expectFailure({{88, "-1 20 80"}}, 88, "the accrual period is negative (-1)");
  expectFailure({{88, "10 -20 80"}}, 88, "the lower bound of the accrual rate is negative (-20)");
  expectFailure({{88, "10 20 -0.5"}}, 88, "the upper bound of the accrual rate is negative (-0.5)");
  expectFailure({{88, "10 60 50"}}, 88,
                "the lower bound of the accrual rate (60) is above the upper bound (50)");
  // The lower bound is compared with the upper one after its default of 50.
  expectFailure({{88, "0 60 0"}}, 88,
                "the lower bound of the accrual rate (60) is above the upper bound (50)");
  expectFailure({{88, "10 20 1000001"}}, 88,
                "the upper bound of the accrual rate (1000001) times the accrual period (10) "
                "gives more than 10000000 patients per trial");
  EXPECT_EQ(readFailure(validFile({{88, "10 20 1000000"}})).message, "(no error)");
}

TEST(DesignLimits, DesiredPowerIsCheckedAfterLine152) {
  for (const char* power : {"1", "0", "-0.2"}) {
    const Failure failure =
        readFailure(validFile({{95, power}, {148, "0"}, {150, "4"}, {152, "0.1"}}));
    EXPECT_EQ(failure.line, 95) << power;
    EXPECT_EQ(failure.message, "the desired power is " + std::string(power) +
                                   "; it must lie strictly between 0 and 1");
    // The repair of line 148 has run before the power was refused.
    EXPECT_EQ(failure.console, "  The number of intervals is set to 1.\n");
  }
  EXPECT_EQ(readFailure(validFile({{95, "0.9999"}})).message, "(no error)");
}

}  // namespace
}  // namespace survseq::input
