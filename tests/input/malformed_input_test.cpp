// Malformed files must end the run with a RunError and nothing worse: thousands of
// random mutations of a sound file (fixed seed) are read, and whatever is accepted
// keeps every count inside its table.

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string_view>

#include "input/parameter_file_builder.h"

namespace survseq::input {
namespace {

// Characters that mean something to the reader, and a few that do not.
constexpr std::string_view kInteresting = "0123456789.eEdD+-*/,'\" \t\n\rx";

std::string mutated(std::string file, std::mt19937& random) {
  const int edits = std::uniform_int_distribution<int>(1, 8)(random);
  for (int edit = 0; edit < edits && !file.empty(); ++edit) {
    const size_t at = std::uniform_int_distribution<size_t>(0, file.size() - 1)(random);
    const char c =
        kInteresting[std::uniform_int_distribution<size_t>(0, kInteresting.size() - 1)(random)];
    switch (std::uniform_int_distribution<int>(0, 4)(random)) {
      case 0:
        file[at] = c;
        break;
      case 1:
        file.insert(at, 1, c);
        break;
      case 2:
        file.erase(at, 1);
        break;
      case 3:
        file.insert(at, std::uniform_int_distribution<int>(0, 1)(random) ? "-7" : "99");
        break;
      default:
        file.resize(at);
        break;
    }
  }
  return file;
}

bool countsWithinTables(const DesignParameters& d) {
  const auto within = [](int32_t count, int32_t maximum) { return count >= 1 && count <= maximum; };
  return within(d.analysisCount, MaxAnalyses) && within(d.statisticCount, MaxStatistics) &&
         within(d.baselineCurve.count, MaxIntervals) && within(d.hazardRatioCount, MaxIntervals) &&
         within(d.censoringControl.count, MaxIntervals) &&
         within(d.censoringTreatment.count, MaxIntervals) && within(d.dropInCount, MaxDropPoints) &&
         within(d.dropOutCount, MaxDropPoints) &&
         d.analysisTimes[static_cast<size_t>(d.analysisCount)] > 0.0f;
}

TEST(MalformedInput, EndsInARunErrorOrAConsistentDesign) {
  std::mt19937 random(20240611);
  const std::string sound = testing::validFile({{108, "1"}, {113, "0.7 0.5"}});
  int accepted = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const std::string file = mutated(sound, random);
    std::istringstream in(file);
    std::ostringstream console;
    DesignParameters design;
    try {
      readParameterFile(in, console, design, [](const std::string&, int32_t) {});
      ++accepted;
      EXPECT_TRUE(countsWithinTables(design)) << file;
    } catch (const RunError& error) {
      EXPECT_GT(error.line(), 0) << file;
    }
  }
  // Some mutations hit only headings or surplus text, so both outcomes occur.
  EXPECT_GT(accepted, 0);
  EXPECT_LT(accepted, 3000);
}

}  // namespace
}  // namespace survseq::input
