// The defaults and repairs at the edges of their conditions, each checked through a
// whole file: a sound design with one line changed.

#include <gtest/gtest.h>

#include "input/design_repairs.h"
#include "input/parameter_file_builder.h"

namespace survseq::input {
namespace {

using testing::readFile;
using testing::validFile;

std::string consoleOf(const testing::LineTexts& replaced) {
  return readFile(validFile(replaced)).console;
}

DesignParameters designOf(const testing::LineTexts& replaced) {
  return readFile(validFile(replaced)).design;
}

TEST(SingleValueRepairs, SeedOnlyZeroIsReplaced) {
  EXPECT_EQ(designOf({{17, "-5"}}).seed, -5);
  EXPECT_EQ(consoleOf({{17, "-5"}}), "");
  EXPECT_EQ(designOf({{17, "0"}}).seed, -123457);
}

TEST(SingleValueRepairs, OneAnalysisIsAnnouncedAsNonSequential) {
  const testing::Reading one = readFile(validFile({{20, "1"}, {23, "0"}}));
  EXPECT_EQ(one.console,
            "  You have specified the non-sequential design.\n"
            "  The last look has been set at 10.\n");
  EXPECT_EQ(one.design.analysisTimes[1], 10.0f);
  EXPECT_EQ(designOf({{20, "-3"}}).analysisCount, 1);
  EXPECT_EQ(consoleOf({{20, "2"}, {23, "1 2"}}), "");
}

TEST(SingleValueRepairs, OnlyTheLastAnalysisTimeIsChecked) {
  const DesignParameters d = designOf({{23, "-1 20 -0.5"}});
  EXPECT_EQ(d.analysisTimes[1], -1.0f);
  EXPECT_EQ(d.analysisTimes[3], 10.0f);
}

TEST(SingleValueRepairs, CountsOfStatisticsAndSimulations) {
  EXPECT_EQ(consoleOf({{26, "0"}, {30, "0"}, {33, "0"}}), "  One test statistic is specified.\n");
  const testing::Reading none = readFile(validFile({{37, "-1"}}));
  EXPECT_EQ(none.design.simulationCount, 1000);
  EXPECT_EQ(none.console, "  The number of simulation is set to 1000.\n");
}

TEST(SingleValueRepairs, TypeIErrorAtTheZeroTest) {
  const testing::Reading tiny = readFile(validFile({{40, "1e-10"}}));
  EXPECT_EQ(tiny.design.typeIError, 0.05f);
  EXPECT_EQ(tiny.console, "  The type-I error is set to 0.05.\n");
  const testing::Reading kept = readFile(validFile({{40, "2e-10"}}));
  EXPECT_EQ(kept.design.typeIError, 2e-10f);
  EXPECT_EQ(kept.console, "");
}

TEST(SingleValueRepairs, ZeroSidesMeansTwoSided) {
  const testing::Reading reading = readFile(validFile({{43, "0"}}));
  EXPECT_EQ(reading.design.sides, 2);
  EXPECT_EQ(reading.console, "  2 sided test is spcified.\n");
  EXPECT_EQ(designOf({{43, "1"}}).sides, 1);
}

TEST(SingleValueRepairs, HaybittleBMustExceedOne) {
  const testing::Reading one = readFile(validFile({{54, "1"}}));
  EXPECT_EQ(one.design.haybittleB, 3.0f);
  EXPECT_EQ(one.design.haybittleBInput, 1.0f);
  EXPECT_EQ(one.console, "  You input is less than 1, b is re-set to 3.\n");
  const testing::Reading above = readFile(validFile({{54, "1.01"}}));
  EXPECT_EQ(above.design.haybittleB, 1.01f);
  EXPECT_EQ(above.console, "");
}

TEST(SingleValueRepairs, BoundaryValuesBelowTheFloorSilentlyBecome196) {
  const testing::Reading reading = readFile(validFile({{61, "0.00001 0.000009 -2"}}));
  EXPECT_EQ(reading.design.boundaryValues[1], 0.00001f);
  EXPECT_EQ(reading.design.boundaryValues[2], 1.96f);
  EXPECT_EQ(reading.design.boundaryValues[3], 1.96f);
  EXPECT_EQ(reading.console, "");
}

TEST(SingleValueRepairs, UseFunctionBelowOneMeansOBrienFleming) {
  const testing::Reading negative = readFile(validFile({{70, "-2"}}));
  EXPECT_EQ(negative.design.useFunction, OBrienFleming);
  EXPECT_EQ(negative.console, "  The OBrien and Fleming use function is chosen.\n");
  EXPECT_EQ(designOf({{70, "7"}}).useFunction, 7);
  EXPECT_EQ(consoleOf({{70, "7"}}), "");
}

TEST(SingleValueRepairs, ChecksOfBAndUseFunctionRunWhateverTheMethod) {
  EXPECT_EQ(consoleOf({{11, "3"}, {54, "3"}, {70, "0"}}),
            "  The OBrien and Fleming use function is chosen.\n");
  EXPECT_EQ(consoleOf({{11, "2"}, {54, "0"}}), "  You input is less than 1, b is re-set to 3.\n");
}

TEST(SingleValueRepairs, AccrualZerosTakeTheirDefaultsSilently) {
  const testing::Reading reading = readFile(validFile({{88, "0 5 0"}}));
  EXPECT_EQ(reading.design.accrualPeriod, 10.0f);
  EXPECT_EQ(reading.design.accrualRateLower, 5.0f);
  EXPECT_EQ(reading.design.accrualRateUpper, 50.0f);
  EXPECT_EQ(reading.design.accrualRate, 50.0f);
  EXPECT_EQ(reading.console, "");
}

TEST(InformationLimits, AreClearedForTheStatisticsInUse) {
  DesignParameters design;
  design.statisticCount = 2;
  design.informationFloor = {9.0f, 9.0f, 9.0f, 9.0f, 9.0f, 9.0f};
  design.informationCeiling = design.informationFloor;
  clearInformationLimits(design);
  EXPECT_EQ(design.informationFloor[1], 0.0f);
  EXPECT_EQ(design.informationCeiling[2], 0.0f);
  EXPECT_EQ(design.informationFloor[3], 9.0f);
}

// Running sums of the e's: e's 0.01, 0.015 and 0.025 spend 0.05 in all.
TEST(ErrorSplit, BecomesCumulativeAndIsComparedWithAlpha) {
  const testing::Reading matching = readFile(validFile({{11, "1"}}));
  const AnalysisValues& spent = matching.design.errorSplit;
  EXPECT_EQ(spent[0], 0.0f);
  EXPECT_EQ(spent[1], 0.01f);
  EXPECT_EQ(spent[2], 0.01f + 0.015f);
  EXPECT_EQ(spent[3], (0.01f + 0.015f) + 0.025f);
  EXPECT_NEAR(spent[3], 0.05, 1e-8);
  EXPECT_EQ(matching.console, "");

  const testing::Reading mismatch = readFile(validFile({{11, "1"}, {40, "0.025"}}));
  EXPECT_EQ(mismatch.console, "  The sum of the e's is not equal to the type-I error.\n");
  EXPECT_EQ(mismatch.design.errorSplit[3], spent[3]);
}

TEST(ErrorSplit, ToleranceIsOneMillionth) {
  // 0.0500005 is within 1e-6 of 0.05 as floats; 0.0500015 is not.
  EXPECT_EQ(consoleOf({{11, "1"}, {40, "0.0500005"}}), "");
  EXPECT_EQ(consoleOf({{11, "1"}, {40, "0.0500015"}}),
            "  The sum of the e's is not equal to the type-I error.\n");
}

TEST(ErrorSplit, ASingleAnalysisSpendsAllOfAlpha) {
  const testing::Reading reading =
      readFile(validFile({{11, "1"}, {20, "1"}, {23, "10"}, {49, "0.3"}, {61, "2"}}));
  EXPECT_EQ(reading.design.errorSplit[1], 0.05f);
  EXPECT_EQ(reading.console, "  You have specified the non-sequential design.\n");
}

TEST(ErrorSplit, OtherMethodsKeepTheEsAsRead) {
  const DesignParameters d = designOf({{11, "4"}, {49, "0.1 0.2 0.3"}});
  EXPECT_EQ(d.errorSplit[2], 0.2f);
}

TEST(CurveRepairs, BaselineCountOfZeroIsOneInterval) {
  const testing::Reading reading = readFile(validFile({{74, "0"}, {78, "12"}, {83, "0.5"}}));
  EXPECT_EQ(reading.design.baselineCurve.count, 1);
  EXPECT_EQ(reading.console, "  The number of intervals is set to 1.\n");
}

TEST(CurveRepairs, BaselineCutPointsAreSpacedEvenlyWhenTheLastIsZero) {
  const testing::Reading reading =
      readFile(validFile({{74, "3"}, {78, "2 4 0"}, {83, "0.8 0.6 0.4"}}));
  const SurvivalCurve& curve = reading.design.baselineCurve;
  EXPECT_EQ(curve.x[1], static_cast<float>(10.0 / 3.0));
  EXPECT_EQ(curve.x[2], static_cast<float>(20.0 / 3.0));
  EXPECT_EQ(curve.x[3], 10.0f);
  EXPECT_EQ(curve.x[0], 0.0f);
  EXPECT_EQ(curve.s[0], 1.0f);
  EXPECT_EQ(reading.console,
            " The right cutpoints are equally spaced. The largest cutpoint is set to 10.\n");

  const DesignParameters kept = designOf({{74, "3"}, {78, "2 4 6"}, {83, "0.8 0.6 0.4"}});
  EXPECT_EQ(kept.baselineCurve.x[3], 6.0f);
}

TEST(CurveRepairs, LastSurvivalValueHasAFloorOf000001) {
  EXPECT_EQ(designOf({{83, "0.7 0.000011"}}).baselineCurve.s[2], 0.000011f);
  EXPECT_EQ(consoleOf({{83, "0.7 0.000011"}}), "");
  // The floor itself counts as too low: the value stays 0.00001, announced.
  for (const char* last : {"0.00001", "0.000009"}) {
    const testing::Reading raised = readFile(validFile({{83, std::string("0 ") + last}}));
    EXPECT_EQ(raised.design.baselineCurve.s[2], 0.00001f);
    EXPECT_EQ(raised.design.baselineCurve.s[1], 0.0f);  // only the last value is checked
    EXPECT_EQ(raised.console,
              " Since your last survival value is <.00001.\n"
              " The survival value at    24.000 is set to .00001. Hope this is OK.\n");
  }
}

TEST(CurveRepairs, SurvivalRepairShowsTheSpacedCutPointOfTheAlternative) {
  const testing::Reading reading =
      readFile(validFile({{100, "4"}, {103, "1 2 3 0"}, {108, "1"}, {113, "0.9 0.8 0.7 0"}}));
  EXPECT_EQ(reading.design.alternativeCurve.s[4], 0.00001f);
  EXPECT_EQ(reading.design.alternativeCurve.x[4], 10.0f);
  EXPECT_EQ(reading.console,
            " The right cutpoints are equally spaced. The largest cutpoint is set to 10.\n"
            " Since your last survival value is <.00001.\n"
            " The survival value at    10.000 is set to .00001. Hope this is OK.\n");
}

TEST(CurveRepairs, EachRepairedHazardRatioHasItsLine) {
  const testing::Reading reading = readFile(validFile({{103, "2 4"}, {113, "0.7 0"}}));
  EXPECT_EQ(reading.design.hazardRatios[1], 0.7f);
  EXPECT_EQ(reading.design.hazardRatios[2], 1.0f);
  EXPECT_EQ(reading.console, "The hazard ratio on [0, 4.00] is set to 1.\n");

  const testing::Reading both = readFile(validFile({{103, "2.5 12.345"}, {113, "1e-10 -1"}}));
  EXPECT_EQ(both.console,
            "The hazard ratio on [0, 2.50] is set to 1.\n"
            "The hazard ratio on [0,12.35] is set to 1.\n");
  EXPECT_EQ(consoleOf({{113, "2e-10 0.5"}}), "");
}

TEST(CurveRepairs, HazardRatioCountAndCutPoints) {
  const testing::Reading reading = readFile(validFile({{100, "-1"}, {103, "0"}, {113, "0.5"}}));
  EXPECT_EQ(reading.design.hazardRatioCount, 1);
  EXPECT_EQ(reading.design.hazardRatioCuts[1], 10.0f);
  EXPECT_EQ(reading.console,
            "  The number of intervals is set to 1.\n"
            " The right cutpoints are equally spaced. The largest cutpoint is set to 10.\n");
}

TEST(CurveRepairs, CensoringCutPointsHaveTheirOwnZeroTestAndEnd) {
  const testing::Reading spaced =
      readFile(validFile({{118, "2"}, {121, "3 5e-9"}, {124, "0.9 0.8"}}));
  EXPECT_EQ(spaced.design.censoringControl.x[1], 10.0f);
  EXPECT_EQ(spaced.design.censoringControl.x[2], 20.0f);
  EXPECT_EQ(spaced.console,
            " The right cutpoints are equally spaced. The largest cutpoint is set to 20.\n");
  const DesignParameters kept = designOf({{118, "2"}, {121, "3 2e-8"}, {124, "0.9 0.8"}});
  EXPECT_EQ(kept.censoringControl.x[2], 2e-8f);

  const testing::Reading treatment = readFile(validFile({{132, "1e-8"}, {135, "0"}}));
  EXPECT_EQ(treatment.design.censoringTreatment.x[1], 20.0f);
  EXPECT_EQ(treatment.design.censoringTreatment.s[1], 0.00001f);
}

TEST(CurveRepairs, CensoringAndDropCountsBelowOneBecomeOne) {
  const testing::Reading reading = readFile(
      validFile({{118, "-4"}, {129, "0"}, {140, "0"}, {148, "-1"}, {150, "4"}, {152, "0.1"}}));
  EXPECT_EQ(reading.design.censoringControl.count, 1);
  EXPECT_EQ(reading.design.censoringTreatment.count, 1);
  EXPECT_EQ(reading.design.dropInCount, 1);
  EXPECT_EQ(reading.design.dropOutCount, 1);
  EXPECT_EQ(reading.console,
            " The number of intervals is set to 1.\n"  // line 118: no blank of its own
            "  The number of intervals is set to 1.\n"
            "  The number of intervals is set to 1.\n"
            "  The number of intervals is set to 1.\n");
}

}  // namespace
}  // namespace survseq::input
