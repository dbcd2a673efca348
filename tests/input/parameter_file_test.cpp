// The layout of the parameter file as a whole: which line fills which member, the
// defaults of a file of zeros with every message in line order, continued reads, and
// the opening of the output file.

#include "input/parameter_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "input/parameter_file_builder.h"
#include "search/report_file.h"

namespace survseq::input {
namespace {

using testing::buildFile;
using testing::readFailure;
using testing::readFile;
using testing::validFile;
using testing::zeroFile;

// Every message a file of zeros triggers, in line order, written out by hand: text
// alone as plain lines (one blank in front of the text's own leading blank), the
// equal-spacing and survival repairs as laid-out lines, the cut point in 9.3.
constexpr const char* kZeroFileMessages =
    "  The Lan-Demets method is chosen.\n"                                           // line 11
    "  The seed is set to -123457.\n"                                                // 17
    "  You have specified the non-sequential design.\n"                              // 20
    "  The last look has been set at 10.\n"                                          // 23
    "  One test statistic is specified.\n"                                           // 26
    "  The number of simulation is set to 1000.\n"                                   // 37
    "  The type-I error is set to 0.05.\n"                                           // 40
    "  2 sided test is spcified.\n"                                                  // 43
    "  You input is less than 1, b is re-set to 3.\n"                                // 54
    "  The OBrien and Fleming use function is chosen.\n"                             // 70
    "  The number of intervals is set to 1.\n"                                       // 74
    " The right cutpoints are equally spaced. The largest cutpoint is set to 10.\n"  // 78
    " Since your last survival value is <.00001.\n"                                  // 83
    " The survival value at    10.000 is set to .00001. Hope this is OK.\n"
    "  The number of intervals is set to 1.\n"                                       // 100
    " The right cutpoints are equally spaced. The largest cutpoint is set to 10.\n"  // 103
    " Since your last survival value is <.00001.\n"                                  // 113
    " The survival value at    10.000 is set to .00001. Hope this is OK.\n"
    " The number of intervals is set to 1.\n"  // 118, no blank of its own
    " The right cutpoints are equally spaced. The largest cutpoint is set to 20.\n"  // 121
    " Since your last survival value is <.00001.\n"                                  // 124
    " The survival value at    20.000 is set to .00001. Hope this is OK.\n"
    "  The number of intervals is set to 1.\n"                                       // 129
    " The right cutpoints are equally spaced. The largest cutpoint is set to 20.\n"  // 132
    " Since your last survival value is <.00001.\n"                                  // 135
    " The survival value at    20.000 is set to .00001. Hope this is OK.\n"
    "  The number of intervals is set to 1.\n"   // 140
    "  The number of intervals is set to 1.\n";  // 148

TEST(ZeroFile, WritesEveryRepairMessageInLineOrderThenRefusesPowerZero) {
  const testing::Failure failure = readFailure(zeroFile());
  EXPECT_EQ(failure.console, kZeroFileMessages);
  // A desired power of 0 is refused only once line 152 has been read.
  EXPECT_EQ(failure.line, 95);
  EXPECT_EQ(failure.message, "the desired power is 0; it must lie strictly between 0 and 1");
}

TEST(ZeroFile, ReadsToTheDefaults) {
  const testing::Reading reading = readFile(zeroFile({{95, "0.8"}}));
  EXPECT_EQ(reading.console, kZeroFileMessages);
  const DesignParameters& d = reading.design;
  EXPECT_EQ(d.boundaryMethod, LanDeMets);
  EXPECT_EQ(d.outputFileName, "0");
  EXPECT_EQ(d.seed, -123457);
  EXPECT_EQ(d.analysisCount, 1);
  EXPECT_EQ(d.analysisTimes[1], 10.0f);
  EXPECT_EQ(d.statisticCount, 1);
  EXPECT_EQ(d.simulationCount, 1000);
  EXPECT_EQ(d.typeIError, 0.05f);
  EXPECT_EQ(d.sides, 2);
  EXPECT_EQ(d.errorSplit[1], 0.0f);  // kept as read: the method is not the error split
  EXPECT_EQ(d.haybittleBInput, 0.0f);
  EXPECT_EQ(d.haybittleB, 3.0f);
  EXPECT_EQ(d.boundaryValues[1], 1.96f);
  EXPECT_EQ(d.useFunction, OBrienFleming);
  EXPECT_EQ(d.accrualPeriod, 10.0f);
  EXPECT_EQ(d.accrualRateLower, 10.0f);
  EXPECT_EQ(d.accrualRateUpper, 50.0f);
  EXPECT_EQ(d.accrualRate, 50.0f);
  EXPECT_EQ(d.desiredPower, 0.8f);
  EXPECT_EQ(d.hazardRatioCount, 1);
  EXPECT_EQ(d.hazardRatioCuts[1], 10.0f);
  EXPECT_FALSE(hazardRatiosGiven(d));
  for (const SurvivalCurve* curve : {&d.baselineCurve, &d.alternativeCurve}) {
    EXPECT_EQ(curve->count, 1);
    EXPECT_EQ(curve->x[1], 10.0f);
    EXPECT_EQ(curve->s[0], 1.0f);
    EXPECT_EQ(curve->s[1], 0.00001f);
  }
  for (const SurvivalCurve* curve : {&d.censoringControl, &d.censoringTreatment}) {
    EXPECT_EQ(curve->count, 1);
    EXPECT_EQ(curve->x[0], 0.0f);
    EXPECT_EQ(curve->x[1], 20.0f);
    EXPECT_EQ(curve->s[0], 1.0f);
    EXPECT_EQ(curve->s[1], 0.00001f);
  }
  EXPECT_EQ(d.dropInCount, 1);
  EXPECT_EQ(d.dropOutCount, 1);
}

TEST(Layout, EachDataLineFillsItsMember) {
  const testing::Reading reading = readFile(validFile());
  EXPECT_EQ(reading.console, "");
  const DesignParameters& d = reading.design;
  EXPECT_EQ(d.boundaryMethod, LanDeMets);
  EXPECT_EQ(d.outputFileName, "design.out");
  EXPECT_EQ(d.seed, 12345);
  EXPECT_EQ(d.analysisCount, 3);
  EXPECT_EQ(d.analysisTimes[3], 30.0f);
  EXPECT_EQ(d.statisticCount, 2);
  EXPECT_EQ(d.rho[2], 1.0f);
  EXPECT_EQ(d.tau[2], 0.5f);
  EXPECT_EQ(d.simulationCount, 500);
  EXPECT_EQ(d.errorSplit[3], 0.025f);  // not the error-split method: kept as read
  EXPECT_EQ(d.boundaryValues[2], 2.5f);
  EXPECT_EQ(d.baselineCurve.x[2], 24.0f);
  EXPECT_EQ(d.baselineCurve.s[2], 0.4f);
  EXPECT_EQ(d.accrualPeriod, 10.0f);
  EXPECT_EQ(d.accrualRateLower, 20.0f);
  EXPECT_EQ(d.accrualRateUpper, 80.0f);
  EXPECT_EQ(d.accrualRate, 80.0f);
  EXPECT_EQ(d.desiredPower, 0.8f);
  EXPECT_EQ(d.hazardRatios[2], 0.8f);
  EXPECT_EQ(d.alternativeCurve.count, 0);  // untouched when hazard ratios are given
  EXPECT_EQ(d.censoringControl.x[1], 30.0f);
  EXPECT_EQ(d.censoringTreatment.x[1], 35.0f);
  EXPECT_EQ(d.censoringTreatment.s[1], 0.85f);
  EXPECT_EQ(d.dropInTimes[1], 5.0f);
  EXPECT_EQ(d.dropInRates[1], 0.02f);
  EXPECT_EQ(d.dropOutCount, 2);
  EXPECT_EQ(d.dropOutTimes[2], 8.0f);
  EXPECT_EQ(d.dropOutRates[2], 0.04f);
}

TEST(Layout, AlternativeKindDecidesOnlyTheMeaningOfLine113) {
  const testing::Reading curve = readFile(validFile({{108, "1.5"}, {113, "0.75 0.5"}}));
  const DesignParameters& d = curve.design;
  EXPECT_FALSE(hazardRatiosGiven(d));
  EXPECT_EQ(d.alternativeCurve.count, d.hazardRatioCount);
  EXPECT_EQ(d.alternativeCurve.x[0], 0.0f);
  EXPECT_EQ(d.alternativeCurve.x[1], 12.0f);
  EXPECT_EQ(d.alternativeCurve.x[2], 24.0f);
  EXPECT_EQ(d.alternativeCurve.s[0], 1.0f);
  EXPECT_EQ(d.alternativeCurve.s[2], 0.5f);
  EXPECT_EQ(d.hazardRatios[1], 0.0f);

  const testing::Reading ratios = readFile(validFile({{108, "1.6"}, {113, "0.75 0.5"}}));
  EXPECT_TRUE(hazardRatiosGiven(ratios.design));
  EXPECT_EQ(ratios.design.hazardRatios[2], 0.5f);
  // Both forms take one line: everything after line 113 is read alike.
  EXPECT_EQ(ratios.design.censoringControl.x[1], d.censoringControl.x[1]);
  EXPECT_EQ(ratios.design.dropOutRates[2], d.dropOutRates[2]);
}

TEST(ContinuedReads, AShortLineContinuesOnTheNextAndMovesLaterLinesDown) {
  // Line 23 holds two of the three times; the third is on an added line, so every
  // later line of the file lies one further down.
  const testing::Failure failure = readFailure(validFile({{23, "10 20\n30"}, {100, "21"}}));
  EXPECT_EQ(failure.line, 101);
  const testing::Reading reading = readFile(validFile({{23, "10 20\n30"}}));
  EXPECT_EQ(reading.design.analysisTimes[3], 30.0f);
  EXPECT_EQ(reading.design.statisticCount, 2);
  EXPECT_EQ(reading.design.dropOutRates[2], 0.04f);
}

TEST(ContinuedReads, AnEmptyDataLineTakesItsValueFromTheNextLine) {
  // The seed comes from line 18, and the count of analyses from line 21, a heading.
  const testing::Failure failure = readFailure(validFile({{17, ""}, {18, "77"}}));
  EXPECT_EQ(failure.design.seed, 77);
  EXPECT_EQ(failure.line, 21);
  EXPECT_EQ(failure.message.rfind("expected a whole number, found 'Heading'", 0), 0u)
      << failure.message;
}

TEST(ContinuedReads, ExtraValuesAndTrailingTextAreIgnored) {
  const testing::Reading reading = readFile(validFile({{11, "3 4 and some words"},
                                                       {20, "3, 9"},
                                                       {88, "10 20 80 100 (period, bounds)"},
                                                       {152, "0.03 0.04 0.05 end of file"}}));
  EXPECT_EQ(reading.design.boundaryMethod, Haybittle);
  EXPECT_EQ(reading.design.analysisCount, 3);
  EXPECT_EQ(reading.design.accrualRateUpper, 80.0f);
  EXPECT_EQ(reading.design.dropOutRates[2], 0.04f);
}

TEST(ContinuedReads, SkippedLinesMayHoldAnything) {
  testing::LineTexts odd = {{1, ""}, {12, "3*'unbalanced"}, {13, "/,,"}, {151, "x y z"}};
  const testing::Reading reading = readFile(validFile(odd) + "lines after 152 are not read\n");
  EXPECT_EQ(reading.design.dropOutRates[2], 0.04f);
}

TEST(OutputFile, IsOpenedOnceRightAfterLine14) {
  std::istringstream in(zeroFile({{14, "'report.out'"}, {95, "0.5"}}));
  std::ostringstream console;
  DesignParameters design;
  std::vector<std::string> consoleAtOpening;
  std::vector<int32_t> lines;
  readParameterFile(in, console, design, [&](const std::string& name, int32_t line) {
    EXPECT_EQ(name, "report.out");
    lines.push_back(line);
    consoleAtOpening.push_back(console.str());
  });
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], 14);
  // The message of line 11 is out, that of line 17 not yet.
  EXPECT_EQ(consoleAtOpening[0], "  The Lan-Demets method is chosen.\n");
}

TEST(OutputFile, NameIsTakenWholeWithoutTrailingBlanks) {
  const std::string longName = "a_rather_long_name_for_a_report_file.out";
  EXPECT_EQ(readFile(validFile({{14, longName + " more"}})).design.outputFileName, longName);
  EXPECT_EQ(readFile(validFile({{14, "'my report.out   '"}})).design.outputFileName,
            "my report.out");
  EXPECT_EQ(readFile(validFile({{14, "bare.out,x"}})).design.outputFileName, "bare.out");
  EXPECT_EQ(readFile(validFile({{14, "\n 'it''s.out'"}})).openedFiles.at(0),
            (std::pair<std::string, int32_t>{"it's.out", 15}));
}

class ReportFileInTempDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("survseq_input_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::string read(const std::filesystem::path& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  std::filesystem::path directory_;
};

TEST_F(ReportFileInTempDirectory, IsCreatedOrEmptiedUnderTheGivenName) {
  const std::filesystem::path path = directory_ / "a report named at some length.txt";
  for (const char* previous : {"", "old content\n"}) {
    if (*previous != '\0') std::ofstream(path) << previous;
    std::istringstream in(validFile({{14, "'" + path.string() + "'"}}));
    std::ostringstream console;
    DesignParameters design;
    search::ReportFile report;
    readParameterFile(in, console, design, report);
    ASSERT_TRUE(report.isOpen());
    report.stream() << "new\n";
    report.finish();
    EXPECT_EQ(read(path), "new\n");
  }
}

TEST_F(ReportFileInTempDirectory, AFileThatCannotBeOpenedEndsTheRunAtLine14) {
  std::istringstream in(
      validFile({{14, "'" + (directory_ / "missing" / "report.out").string() + "'"}, {17, "x"}}));
  std::ostringstream console;
  DesignParameters design;
  search::ReportFile report;
  try {
    readParameterFile(in, console, design, report);
    FAIL() << "no error";
  } catch (const RunError& error) {
    EXPECT_EQ(error.line(), 14);
    EXPECT_NE(std::string(error.what()).find("cannot open the output file"), std::string::npos);
  }
}

}  // namespace
}  // namespace survseq::input
