// Small designs at the edges of the input space, run as a user runs them: the use-function
// codes above 4, infinite null variances, a literal report name, and the designs that
// used to run for ever and now end with one error line naming the line to change.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "program_runner.h"

namespace survseq::testing {
namespace {

// Two looks, 50 trials: a few seconds at most.
std::string smallDesign(std::map<int, std::string> lines) {
  lines.emplace(20, "2");
  lines.emplace(23, "5 10");
  lines.emplace(37, "50");
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

TEST(EdgeDesigns, AReportNameWithAStarIsUsedAsItStands) {
  const ProgramRun run = runProgram(smallDesign({{14, "3*x"}}), "3*x");
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  EXPECT_NE(run.console.find("\n 3*x                 \n"), std::string::npos);
  EXPECT_NE(run.report.find("The seed ="), std::string::npos);
}

TEST(EdgeDesigns, DesignsThatRanForEverEndWithOneErrorLine) {
  const struct {
    const char* what;
    std::string design;
    std::string error;
  } cases[] = {
      {"a rising control curve with drop-in",
       smallDesign({{83, "0.5 0.6 0.7"}, {142, "10"}, {144, "0.5"}}),
       "survseq: line 83: the survival values of the baseline curve must not rise: survival "
       "value 2 (0.6) is above survival value 1 (0.5)\n"},
      {"drop-in at 10 onto a curve with S(10) = 1e-47",
       smallDesign({{100, "1"}, {103, "1"}, {108, "1"}, {113, "0.00002"}, {142, "10"},
                    {144, "1"}}),
       "survseq: line 142: no event time after the drop-in time 10 (point 1) in 1000000 draws "
       "for one patient: the curve the patient switches to leaves almost no chance of an event "
       "after that time\n"},
      {"Haybittle looks with equal null variances: no last value for any b",
       replaceLines(exampleFile("haybittle.par"),
                    {{20, "2"}, {23, "30 40"}, {37, "5"}, {88, "5 20 60"}, {121, "10"},
                     {124, "0"}, {132, "10"}, {135, "0"}}),
       "survseq: line 54: b was raised past 50 without meeting the type-I error of line 40; the "
       "design cannot spend so little error\n"}};
  for (const auto& c : cases) {
    const ProgramRun run = runProgram(c.design, "");
    EXPECT_EQ(run.exitStatus, 1) << c.what;
    EXPECT_EQ(run.errors, c.error) << c.what;
  }
}

}  // namespace
}  // namespace survseq::testing
