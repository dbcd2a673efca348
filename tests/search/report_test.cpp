#include "search/report.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>

namespace survseq::search {
namespace {

class ReportLayout : public ::testing::Test {
 protected:
  ReportLayout() : report(console, file) {}

  std::ostringstream console;
  std::ostringstream file;
  Report report;
};

// A design as the reader leaves a file of zeros, with the given number of analyses.
input::DesignParameters defaultDesign(int32_t analyses) {
  input::DesignParameters d;
  d.boundaryMethod = input::LanDeMets;
  d.analysisCount = analyses;
  for (int32_t i = 1; i <= analyses; ++i) d.analysisTimes[i] = static_cast<float>(i);
  d.statisticCount = 1;
  d.typeIError = 0.05f;
  d.sides = 2;
  d.useFunction = input::OBrienFleming;
  d.accrualPeriod = 10.0f;
  d.accrualRate = 50.0f;
  for (input::SurvivalCurve* c : {&d.baselineCurve, &d.alternativeCurve}) {
    *c = input::SurvivalCurve{1, {0.0f, 10.0f}, {1.0f, 0.00001f}};
  }
  for (input::SurvivalCurve* c : {&d.censoringControl, &d.censoringTreatment}) {
    *c = input::SurvivalCurve{1, {0.0f, 20.0f}, {1.0f, 0.00001f}};
  }
  d.hazardRatioCount = 1;
  d.hazardRatioCuts[1] = 10.0f;
  d.dropInCount = 1;
  d.dropOutCount = 1;
  return d;
}

TEST_F(ReportLayout, DesignEchoOfTheDefaults) {
  report.writeSeedLine(-123457);
  report.writeDesignEcho(defaultDesign(1));
  EXPECT_EQ(file.str(),
            "The seed =    -123457\n"
            "Number of interim analyses =  1\n"
            "Times of the interim analysis =   1.00\n"
            "The rho(s) of the statistic(s)  =      0.00 \n"
            "The tau(s) of the statistic(s) =      0.00 \n"
            "Accrual period and the upper bound on the accrual rate =    10.00   50.00 \n"
            "Type-I error is 0.050 and 2 sided test has been specified.\n"
            " (x,S(x)) of the baseline survival function are:\n"
            "  (   0.000   1.000)\n"
            " (  10.000   0.000)\n"
            " (x,S(x)) of the alternative survival function are:\n"
            "  (   0.000   1.000)\n"
            " (  10.000   0.000)\n"
            " Censoring survival function for the control group are:\n"
            "  (   0.000   1.000)\n"
            " (  20.000   0.000)\n"
            " Censoring survival function for the treatment group are:\n"
            "  (   0.000   1.000)\n"
            " (  20.000   0.000)\n"
            " The drop-in rate(s) are:\n"
            "  (   0.000   0.000)\n"
            " The drop-out rate(s) are:\n"
            "  (   0.000   0.000)\n"
            " The OBrien & Fleming use function is specified.\n");
}

TEST_F(ReportLayout, ThirteenAnalysisTimesSpillOntoASecondLine) {
  report.writeDesignEcho(defaultDesign(13));
  EXPECT_NE(file.str().find("Times of the interim analysis =   1.00  2.00  3.00  4.00  5.00  6.00"
                            "  7.00  8.00  9.00 10.00 11.00 12.00\n 13.00\n"),
            std::string::npos);
}

TEST_F(ReportLayout, HazardRatioAlternativeAndUseFunctionLines) {
  input::DesignParameters d = defaultDesign(1);
  d.alternativeKind = 2.0f;
  d.hazardRatioCount = 2;
  d.hazardRatioCuts = {0.0f, 4.0f, 10.0f};
  d.hazardRatios = {0.0f, 1.0f, 0.75f};
  d.useFunction = 7;
  report.writeDesignEcho(d);
  EXPECT_NE(file.str().find(" The alternative survival distribution is specified\n"
                            " by the hazard ratio to the baseline survival:\n"
                            " hazard ratio in (   0.00    4.00) is   1.0000\n"
                            " hazard ratio in (   4.00   10.00) is   0.7500\n"),
            std::string::npos);
  EXPECT_NE(file.str().find(" The linear use function is specified.\n"), std::string::npos);

  std::ostringstream other;
  Report(console, other).writeDesignEcho([] {
    input::DesignParameters given = defaultDesign(1);
    given.boundaryMethod = input::GivenBoundaries;
    return given;
  }());
  EXPECT_EQ(other.str().find("use function"), std::string::npos);
}

TEST_F(ReportLayout, ConsoleNoticePadsTheFileNameToTwentyColumns) {
  report.writeOutputFileNotice("out.txt");
  report.writeOutputFileNotice("a_report_name_longer_than_twenty.txt");
  EXPECT_EQ(console.str(),
            " The output is stored in the file named below:\n"
            " out.txt             \n"
            " The output is stored in the file named below:\n"
            " a_report_name_longer_than_twenty.txt\n");
}

TEST_F(ReportLayout, IterationBlocks) {
  report.writeIterationHeader(3, 29.2401f);
  const std::array<float, 2> variances{12.5f, 40.25f};
  const Report::HaybittleValues haybittle{3.1f, 1.9674f};
  report.writePreSimulation(2, &haybittle, variances);
  report.writeSubjectCount(292);
  report.writeNoEntryNote(0.5f, 17);
  EXPECT_EQ(file.str(),
            "\n"
            " **************************************************\n"
            " This is the result of iteration:           3\n"
            " The present accrual rate is:   29.24010    \n"
            "\n"
            "-------------------------------------------------------\n"
            "Pre-simulation information for the 2nd statistic are:\n"
            " The b used in the Haybittle boundary is:   3.100000    \n"
            "The c based on the asymptotic null distribution:  1.97\n"
            "The variance under the null are:\n"
            "   12.50    40.25  \n"
            "-------------------------------------------------------\n"
            "\n"
            "The number of subjects simulated in this iteration =  292\n"
            "\n"
            " no life enters before  0.5000000    \n"
            " no. of simulation=          17\n");
}

TEST_F(ReportLayout, PassResultsOfFiveStatisticsWithAnErrorSplit) {
  input::DesignParameters d = defaultDesign(2);
  d.boundaryMethod = input::ErrorSplit;
  d.statisticCount = 5;
  d.errorSplit = {0.0f, 0.01f, 0.05f};
  std::array<StatisticSummary, 5> summaries{};
  summaries[4] = StatisticSummary{1.0f, -0.5f, {0.8125f, 0.01234f}, 7.5f};
  report.writePassResults(d, summaries);
  const std::string text = file.str();
  EXPECT_EQ(text.substr(0, 42), "\nThe results of simulation for method: 1\n\n");
  EXPECT_NE(text.find("---------Result of the 1st statistic:-----------\n"), std::string::npos);
  EXPECT_NE(text.find("---------Result of the 3rd statistic:-----------\n"), std::string::npos);
  EXPECT_NE(text.find("---------Result of the  5th statistic:-----------\n"
                      "rho = 1.0   tau =-0.5    power =0.8125   s.d. = 0.01234\n"
                      "The type-I error is splitted as e(1),..., e( 2).\n"
                      " They are:\n"
                      " 0.0100 0.0400 \n"
                      "The average stopping time =  7.500\n"
                      "\n"),
            std::string::npos);
}

TEST_F(ReportLayout, GivenBoundariesSpillAfterTwelveValues) {
  input::DesignParameters d = defaultDesign(13);
  d.boundaryMethod = input::GivenBoundaries;
  d.boundaryValues.fill(2.5f);
  const std::array<StatisticSummary, 1> summaries{};
  report.writePassResults(d, summaries);
  std::string twelve;
  for (int i = 0; i < 12; ++i) twelve += "  2.50 ";
  EXPECT_NE(file.str().find("The boundary values in the test are:\n" + twelve + "\n  2.50 \n"),
            std::string::npos);
}

TEST_F(ReportLayout, ClosingBlocksStartWithTheBanner) {
  report.writeClosingBlock(SearchOutcome::LowerBoundTooBig, {});
  EXPECT_EQ(file.str(),
            "*****************************************************\n"
            "************** Final Output *************************\n"
            "*****************************************************\n"
            " The lower bound on the accrual rate is too big for\n"
            "the desired power. Decrease the lower bound on the\n"
            "accrual rate (line 88 of the input file) and run \n"
            "this program again.\n");
}

TEST_F(ReportLayout, SuccessBlockReportsTheLowerEnd) {
  report.writeClosingBlock(SearchOutcome::WithinTwoStandardErrors,
                           {0.8f, 23.456f, {0.7912f, 0.0128f}, 20});
  EXPECT_NE(file.str().find(" The desired power is   0.800\n"
                            " At the accrual rate of   23.5 the simulated power of\n"
                            " the first statistic is   0.791. Since the standard   \n"
                            " error of this simulated power is  0.0128, you have \n"
                            " reached within two standard errors of the desired   \n"
                            " power. If you need a more accurate accrual rate, please \n"
                            " set the number of simulations parameter in the input file\n"
                            " (line 37) to a larger number and run this program again.\n"
                            "********************************************************\n"),
            std::string::npos);
}

}  // namespace
}  // namespace survseq::search
