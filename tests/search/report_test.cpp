// Layouts the golden runs do not reach; everything else of the report is checked
// there, against reviewed output.

#include "search/report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "report/output_line.h"

namespace survseq::search {
namespace {

TEST(ReportLayout, ConsoleNoticePadsTheFileNameToTwentyColumnsButNeverCutsIt) {
  std::ostringstream console;
  std::ostringstream file;
  Report report(console, file);
  report.writeOutputFileNotice("out.txt");
  report.writeOutputFileNotice("a_report_name_longer_than_twenty.txt");
  EXPECT_EQ(console.str(),
            " The output is stored in the file named below:\n"
            " out.txt             \n"
            " The output is stored in the file named below:\n"
            " a_report_name_longer_than_twenty.txt\n");
  EXPECT_EQ(file.str(), "");
}

TEST(ReportLayout, UnknownUseFunctionIsEchoedAsLinearAndOnlyUnderLanDeMets) {
  input::DesignParameters design;
  design.analysisCount = design.statisticCount = 1;
  design.boundaryMethod = input::LanDeMets;
  design.useFunction = 7;
  std::ostringstream console;
  std::ostringstream lanDeMets;
  Report(console, lanDeMets).writeDesignEcho(design);
  EXPECT_NE(lanDeMets.str().find("\n The linear use function is specified.\n"), std::string::npos);

  design.boundaryMethod = input::Haybittle;
  std::ostringstream haybittle;
  Report(console, haybittle).writeDesignEcho(design);
  EXPECT_EQ(haybittle.str().find("use function"), std::string::npos);
}

TEST(ReportLayout, SpendingFamiliesAndFutilityBoundsAreEchoed) {
  input::DesignParameters design;
  design.analysisCount = 3;
  design.statisticCount = 1;
  design.boundaryMethod = input::LanDeMets;
  design.futilityZ = {0, 0.0f, 0.5f};
  struct Case { input::SpendingFamily family; bool futility, binding; std::string line; };
  const std::string gamma = report::formatPlainReal(-4.0f);
  for (const Case& c :
       {Case{input::SpendingFamily::HwangShihDeCani, false, false,
             " The Hwang-Shih-DeCani use function with gamma =" + gamma + " is specified.\n"},
        Case{input::SpendingFamily::KimDeMets, false, false,
             " The Kim-DeMets use function with exponent =" + gamma + " is specified.\n"},
        Case{input::SpendingFamily::Coded, true, false,
             "The non-binding futility bounds of the interim looks are:\n   0.00   0.50\n"},
        Case{input::SpendingFamily::Coded, true, true,
             "The binding futility bounds of the interim looks are:\n   0.00   0.50\n"}}) {
    design.spendingFamily = c.family;
    design.spendingGamma = design.spendingExponent = -4.0f;
    design.futility = c.futility;
    design.futilityBinding = c.binding;
    std::ostringstream console, file;
    Report(console, file).writeDesignEcho(design);
    EXPECT_NE(file.str().find(c.line), std::string::npos) << file.str();
  }
}

TEST(ReportLayout, GivenBoundariesSpillAfterTwelveValues) {
  input::DesignParameters design;
  design.boundaryMethod = input::GivenBoundaries;
  design.analysisCount = 13;
  design.boundaryValues.fill(2.5f);
  std::ostringstream console;
  std::ostringstream file;
  const StatisticSummary summary{};
  Report(console, file).writePassResults(design, std::span(&summary, 1));
  std::string twelve;
  for (int i = 0; i < 12; ++i) twelve += "  2.50 ";
  EXPECT_NE(file.str().find("The boundary values in the test are:\n" + twelve + "\n  2.50 \n"),
            std::string::npos);
}

}  // namespace
}  // namespace survseq::search
