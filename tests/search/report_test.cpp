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

TEST(ReportLayout, UseFunctionsSpendingFamiliesFutilityBoundsAndGivenValues) {
  input::DesignParameters design;
  design.analysisCount = 3;
  design.statisticCount = 1;
  design.boundaryMethod = input::Haybittle;
  design.useFunction = 7;  // unknown: echoed as the linear one, and only under Lan-DeMets
  const auto echo = [&design] {
    std::ostringstream console, file;
    Report(console, file).writeDesignEcho(design);
    return file.str();
  };
  EXPECT_EQ(echo().find("use function"), std::string::npos);
  design.boundaryMethod = input::LanDeMets;
  EXPECT_NE(echo().find("\n The linear use function is specified.\n"), std::string::npos);
  design.spendingGamma = design.spendingExponent = -4.0f;
  design.futility = true;
  design.futilityZ = {0, 0.0f, 0.5f};
  const std::string gamma = report::formatPlainReal(-4.0f) + " is specified.\nThe ";
  using enum input::SpendingFamily;
  for (const auto& [family, binding, line] :
       {std::tuple{HwangShihDeCani, false,
                   " The Hwang-Shih-DeCani use function with gamma =" + gamma + "non-binding"},
        std::tuple{KimDeMets, true,
                   " The Kim-DeMets use function with exponent =" + gamma + "binding"}}) {
    design.spendingFamily = family;
    design.futilityBinding = binding;
    EXPECT_NE(echo().find(line + " futility bounds of the interim looks are:\n   0.00   0.50\n"),
              std::string::npos)
        << echo();
  }
  design.boundaryMethod = input::GivenBoundaries;  // more than twelve values spill over
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

TEST(EdgeDesigns, UseFunctionCodesAboveFourAreTheFunctionWithParameterB) {
  // Two looks, b = 2 spending too much by the planned information: b is raised for code 5
  // as for 4, and every byte of the run is the same.
  const auto run = [](const char* code) {
    return runProgram(replaceLines(exampleFile("four_look_obrien_fleming.par"),
                                   {{20, "2"}, {23, "5 10"}, {37, "50"}, {54, "2"}, {70, code}}),
                      "four_look_obf.out");
  };
  const ProgramRun four = run("4"), five = run("5");
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

// Haybittle looks with equal null variances have no last value for any b: the search for b
// used to run for ever and now ends with one error line naming the line to change.
TEST(EdgeDesigns, AHaybittleBThatNoValueCanMeetEndsTheRun) {
  const ProgramRun run = runProgram(replaceLines(exampleFile("haybittle.par"), {{20, "2"},
                                                                                {23, "30 40"},
                                                                                {37, "5"},
                                                                                {88, "5 20 60"},
                                                                                {121, "10"},
                                                                                {124, "0"},
                                                                                {132, "10"},
                                                                                {135, "0"}}),
                                    "");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.errors,
            "survseq: line 54: b was raised past 50 without meeting the type-I error "
            "of line 40; the design cannot spend so little error\n");
}

}  // namespace
}  // namespace survseq::search
