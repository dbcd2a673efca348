// Layouts the golden runs do not reach, and designs at the edges of the input space run as
// a user runs them; everything else of the report is checked by the golden runs.

#include "search/report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "program_runner.h"
#include "report/output_line.h"

namespace survseq::search {
namespace {

using testing::exampleFile;
using testing::ProgramRun;
using testing::replaceLines;
using testing::runProgram;

TEST(ReportLayout, DesignEchoOfUseFunctionsSpendingFamiliesAndFutilityBounds) {
  using enum input::SpendingFamily;
  const std::string gamma = report::formatPlainReal(-4.0f);
  const struct {
    int32_t method, useFunction;
    input::SpendingFamily family;
    bool futility, binding;
    std::string line;  // "" when the echo names no use function
  } cases[] = {
      // An unknown use function is echoed as the linear one, and only under Lan-DeMets.
      {input::LanDeMets, 7, Coded, false, false, "\n The linear use function is specified.\n"},
      {input::Haybittle, 7, Coded, false, false, ""},
      {input::LanDeMets, 1, HwangShihDeCani, false, false,
       " The Hwang-Shih-DeCani use function with gamma =" + gamma + " is specified.\n"},
      {input::LanDeMets, 1, KimDeMets, false, false,
       " The Kim-DeMets use function with exponent =" + gamma + " is specified.\n"},
      {input::LanDeMets, 1, Coded, true, false,
       "The non-binding futility bounds of the interim looks are:\n   0.00   0.50\n"},
      {input::LanDeMets, 1, Coded, true, true,
       "The binding futility bounds of the interim looks are:\n   0.00   0.50\n"}};
  for (const auto& c : cases) {
    input::DesignParameters design;
    design.analysisCount = 3;
    design.statisticCount = 1;
    design.boundaryMethod = c.method;
    design.useFunction = c.useFunction;
    design.spendingFamily = c.family;
    design.spendingGamma = design.spendingExponent = -4.0f;
    design.futility = c.futility;
    design.futilityBinding = c.binding;
    design.futilityZ = {0, 0.0f, 0.5f};
    std::ostringstream console, file;
    Report(console, file).writeDesignEcho(design);
    EXPECT_EQ(file.str().find(c.line.empty() ? "use function" : c.line) != std::string::npos,
              !c.line.empty())
        << file.str();
  }
}

TEST(ReportLayout, GivenBoundariesSpillAfterTwelveValues) {
  input::DesignParameters design;
  design.boundaryMethod = input::GivenBoundaries;
  design.analysisCount = 13;
  design.boundaryValues.fill(2.5f);
  std::ostringstream console, file;
  const StatisticSummary summary{};
  Report(console, file).writePassResults(design, std::span(&summary, 1));
  std::string twelve;
  for (int i = 0; i < 12; ++i) twelve += "  2.50 ";
  EXPECT_NE(file.str().find("The boundary values in the test are:\n" + twelve + "\n  2.50 \n"),
            std::string::npos);
}

// Two looks, 50 trials: a few seconds at most.
std::string smallDesign(std::map<int, std::string> lines) {
  lines.insert({{20, "2"}, {23, "5 10"}, {37, "50"}});
  return replaceLines(exampleFile("four_look_obrien_fleming.par"), lines);
}

TEST(EdgeDesigns, UseFunctionCodesAboveFourAreTheFunctionWithParameterB) {
  // b = 2 spends too much by the planned information: b is raised for code 5 as for 4,
  // and every byte of the run is the same.
  const ProgramRun four = runProgram(smallDesign({{54, "2"}, {70, "4"}}), "four_look_obf.out");
  const ProgramRun five = runProgram(smallDesign({{54, "2"}, {70, "5"}}), "four_look_obf.out");
  ASSERT_EQ(five.exitStatus, 0) << five.errors;
  EXPECT_NE(five.console.find("\n  The present b is too small.\n  I will increase b by 0.1.\n"),
            std::string::npos);
  EXPECT_EQ(five.console, four.console);
  EXPECT_EQ(five.report, four.report);
}

TEST(EdgeDesigns, InfiniteNullVariancesLeaveTheHaybittleBAsGiven) {
  // rho -100 makes every null variance infinite: no analysis before the last has a usable
  // information fraction, so the last value is the fixed-sample one for alpha / 3.
  const ProgramRun run = runProgram(
      replaceLines(exampleFile("haybittle.par"), {{30, "-100"}, {37, "20"}}), "haybittle.out");
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  EXPECT_EQ(run.console.find("b is too small"), std::string::npos);
  EXPECT_NE(run.report.find(" The b used in the Haybittle boundary is:   3.000000    \n"
                            "The c based on the asymptotic null distribution:  2.39\n"),
            std::string::npos);
}

TEST(EdgeDesigns, AReportNameWithAStarIsUsedAsItStandsAndNeverCut) {
  const ProgramRun run = runProgram(smallDesign({{14, "3*x_longer_than_twenty.txt"}}),
                                    "3*x_longer_than_twenty.txt");
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  EXPECT_NE(run.console.find("named below:\n 3*x_longer_than_twenty.txt\n"), std::string::npos);
  EXPECT_NE(run.report.find("The seed ="), std::string::npos);
}

// Haybittle looks with equal null variances have no last value for any b: the search for b
// used to run for ever and now ends with one error line naming the line to change.
TEST(EdgeDesigns, AHaybittleBThatNoValueCanMeetEndsTheRun) {
  const ProgramRun run = runProgram(
      replaceLines(exampleFile("haybittle.par"), {{20, "2"}, {23, "30 40"}, {37, "5"}, {88, "5 20 60"},
                                                  {121, "10"}, {124, "0"}, {132, "10"}, {135, "0"}}),
      "");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.errors, "survseq: line 54: b was raised past 50 without meeting the type-I error "
                        "of line 40; the design cannot spend so little error\n");
}

}  // namespace
}  // namespace survseq::search
