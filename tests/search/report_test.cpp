// Layouts the golden runs do not reach; everything else of the report is checked
// there, against reviewed output.

#include "search/report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

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
