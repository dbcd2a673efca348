// The simulation pass on several threads: the same passes, bit for bit and line for
// line, for any number of threads; trials that read nothing another trial left behind;
// and no allocation per trial.

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <map>
#include <sstream>
#include <string>

#include "counted_allocations.h"
#include "input/parameter_file.h"
#include "program_runner.h"
#include "search/simulation_pass.h"
#include "search/trial_analysis.h"
#include "sim/simulated_trial.h"
#include "sim/uniform_generator.h"

namespace survseq::search {
namespace {

using testing::exampleFile;
using testing::replaceLines;

input::DesignParameters designFrom(const std::string& parameterFile) {
  std::istringstream in(parameterFile);
  std::ostringstream console;
  input::DesignParameters design;
  input::readParameterFile(in, console, console, design, [](const std::string&, int32_t) {});
  return design;
}

// The delayed-effect example with 60 trials and a hazard ratio whose cut lies where the
// baseline survival is below 1e-6, so that generation warns "tmpp too small" now and then;
// `shape` and then `changes` replace further lines.
std::string delayedEffect(std::map<int, std::string> changes = {},
                          const std::map<int, std::string>& shape = {}) {
  changes.insert(shape.begin(), shape.end());
  changes.insert({{37, "60"}, {103, "6 600"}});
  return replaceLines(exampleFile("delayed_effect_two_statistics.par"), changes);
}

// Five statistics on trials of about a dozen patients: now and then a statistic has too
// little information at the last look and falls back ("v0" lines on the console).
const std::map<int, std::string> kFiveStatistics = {
    {26, "5"}, {30, "0 0 1 1 0.5"}, {33, "0 1 0 1 0.5"}, {88, "24 0.4 0.6"}};
std::string fiveStatisticsOnSmallTrials(const std::map<int, std::string>& changes = {}) {
  return delayedEffect(changes, kFiveStatistics);
}

// A first look so early that often nobody has entered ("no life enters before").
std::string earlyFirstLook(const std::map<int, std::string>& changes = {}) {
  return delayedEffect(changes, {{23, "0.01 42 54"}});
}

std::string bits(float value) { return std::to_string(std::bit_cast<uint32_t>(value)); }
std::string bits(double value) { return std::to_string(std::bit_cast<uint64_t>(value)); }

// Everything a pass leaves, every real by its bits.
std::string describe(const PassResults& results, const IterationRecord& record,
                     const input::DesignParameters& design) {
  std::ostringstream out;
  for (int32_t s = 1; s <= design.statisticCount; ++s) {
    out << "statistic " << s << ": " << results.rejectionCount[s] << ' '
        << bits(results.stoppingTimeSum[s]) << '\n';
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      const PassResults::LookSums& sums = results.lookSums[static_cast<size_t>(s)][static_cast<size_t>(k)];
      const LookFigures& look = record.statistics[static_cast<size_t>(s - 1)].looks[static_cast<size_t>(k)];
      out << "  look " << k << ": " << sums.stoppedCount << ' ' << sums.reachedCount << ' '
          << bits(sums.criticalValueSum) << ' ' << bits(sums.eventCountSum) << ' '
          << bits(sums.informationSum) << ' ' << bits(look.meanCriticalValue) << '\n';
    }
  }
  out << "seed " << design.seed << " b " << bits(design.haybittleB) << " floor "
      << bits(design.informationFloor[1]) << '\n';
  return out.str();
}

struct Passes {
  std::string console;
  std::string file;
  std::string figures;
};

// Two passes, at the upper and the lower rate of the design, through one SimulationPass.
Passes runPasses(input::DesignParameters design, int32_t threads) {
  std::ostringstream console, file;
  Report report(console, file);
  sim::UniformGenerator generator;
  generator.nextUniform(design.seed);
  SimulationPass pass(patientCapacityFor(design), threads);
  std::string figures;
  for (const float rate : {design.accrualRateUpper, design.accrualRateLower}) {
    design.accrualRate = rate;
    const IterationRecord& record = pass.run(design, generator, report);
    figures += describe(pass.results(), record, design);
  }
  return {console.str(), file.str(), figures};
}

TEST(SimulationPass, EveryThreadCountGivesTheSamePassesAndLines) {
  struct Case {
    const char* name;
    std::string parameterFile;
    const char* consoleHolds;
    const char* reportHolds;
  };
  const Case cases[] = {
      {"v0 lines", fiveStatisticsOnSmallTrials(), "v0 is too large", "Pre-simulation"},
      {"generation warnings", delayedEffect(), "", "tmpp too small"},
      {"notes", earlyFirstLook(), "", "no life enters before"},
      {"given values, notes", earlyFirstLook({{11, "4"}, {61, "2.5 2.2 2.0"}}), "",
       "no life enters before"},
      {"Haybittle b raised", replaceLines(exampleFile("haybittle.par"), {{37, "100"}, {54, "1.5"}}),
       "b is too small", "Haybittle"},
  };
  for (const Case& c : cases) {
    const input::DesignParameters design = designFrom(c.parameterFile);
    const Passes one = runPasses(design, 1);
    EXPECT_NE(one.console.find(c.consoleHolds), std::string::npos) << c.name;
    EXPECT_NE(one.file.find(c.reportHolds), std::string::npos) << c.name;
    for (const int32_t threads : {2, 3, 8}) {
      const Passes many = runPasses(design, threads);
      EXPECT_EQ(many.console, one.console) << c.name << ", threads " << threads;
      EXPECT_EQ(many.file, one.file) << c.name << ", threads " << threads;
      EXPECT_EQ(many.figures, one.figures) << c.name << ", threads " << threads;
    }
  }
}

void poison(bounds::TrialBoundaryState& state) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  state.errorSplit.fill(nan);
  for (int32_t k = 1; k <= input::MaxAnalyses; ++k) {
    for (int32_t s = 1; s <= input::MaxStatistics; ++s) {
      state.boundaries.criticalValue(s, k) = nan;
      state.observedInformation(s, k) = nan;
    }
  }
  state.boundaryFailed = 1;
}

std::string describe(const TrialOutcome& outcome, int32_t statisticCount) {
  std::ostringstream out;
  for (int32_t i = 0; i < outcome.lookCount; ++i) {
    const TrialOutcome::Look& look = outcome.looks[static_cast<size_t>(i)];
    out << look.statistic << '/' << look.analysis << ' ' << bits(look.criticalValue) << ' '
        << look.eventCount << ' ' << bits(look.information) << ' ' << look.rejected << '\n';
  }
  for (int32_t s = 1; s <= statisticCount; ++s) {
    if (outcome.addsStoppingTime[s]) out << "stops " << s << ' ' << bits(outcome.stoppingTime[s]) << '\n';
  }
  return out.str();
}

// The exactness of analysing trials anywhere rests on this: a trial analysed in a state
// that the previous trial left gives the same outcome and lines as one analysed in a
// state whose every entry is NaN, for every method and every branch of the update.
TEST(TrialAnalysis, ATrialReadsNothingThatAnEarlierTrialLeft) {
  struct Case {
    const char* name;
    std::string parameterFile;
  };
  const Case cases[] = {
      {"Pocock", fiveStatisticsOnSmallTrials()},
      {"O'Brien-Fleming", fiveStatisticsOnSmallTrials({{70, "1"}})},
      {"linear, nearly complete interim", fiveStatisticsOnSmallTrials({{70, "3"}, {23, "30 53.8 54"}})},
      {"use function with b", fiveStatisticsOnSmallTrials({{70, "4"}})},
      {"error split", fiveStatisticsOnSmallTrials({{11, "1"}, {49, "0.01 0.015 0.025"}})},
      {"Haybittle", fiveStatisticsOnSmallTrials({{11, "3"}})},
      {"given values", fiveStatisticsOnSmallTrials({{11, "4"}, {61, "2.5 2.2 2.0"}})},
      {"skipped looks", earlyFirstLook()},
      {"skipped looks, error split", earlyFirstLook({{11, "1"}, {49, "0.01 0.015 0.025"}})},
  };
  for (const Case& c : cases) {
    input::DesignParameters design = designFrom(c.parameterFile);
    std::ostringstream passConsole, passFile;
    Report passReport(passConsole, passFile);
    sim::UniformGenerator generator;
    generator.nextUniform(design.seed);
    design.simulationCount = 1;
    SimulationPass pass(patientCapacityFor(design));  // sets the floor and ceiling, fixes b

    const int32_t subjectCount = pass.run(design, generator, passReport).patientCount;
    sim::SimulatedTrial trial(subjectCount);
    TrialWorkspace carried(subjectCount), poisoned(subjectCount);
    std::ostringstream generationLines;
    std::ostringstream carriedConsole, carriedFile, poisonedConsole, poisonedFile;
    Report carriedReport(carriedConsole, carriedFile), poisonedReport(poisonedConsole, poisonedFile);
    TrialOutcome carriedOutcome, poisonedOutcome;
    int32_t capped = 0;
    for (int32_t n = 1; n <= 60; ++n) {
      sim::generateTrial(design, subjectCount, generator, design.seed, trial, generationLines);
      analyseTrial(design, trial, subjectCount, n, carried, carriedReport, carriedOutcome);
      poison(poisoned.boundaries);
      analyseTrial(design, trial, subjectCount, n, poisoned, poisonedReport, poisonedOutcome);
      ASSERT_EQ(describe(poisonedOutcome, design.statisticCount),
                describe(carriedOutcome, design.statisticCount))
          << c.name << ", trial " << n;
      for (int32_t i = 0; i < carriedOutcome.lookCount; ++i) {
        capped += carriedOutcome.looks[static_cast<size_t>(i)].criticalValue == 5.0f;
      }
    }
    EXPECT_EQ(poisonedConsole.str(), carriedConsole.str()) << c.name;
    EXPECT_EQ(poisonedFile.str(), carriedFile.str()) << c.name;
    if (design.boundaryMethod != input::GivenBoundaries) {
      EXPECT_GT(capped, 0) << c.name;  // looks untested, skipped or nearly complete were met
    }
  }
}

// After the first pass has sized every buffer, a pass allocates the same whether it runs
// 40 trials or 160: nothing per trial, on any thread.
TEST(SimulationPass, TrialsAllocateNothing) {
  for (const int32_t threads : {1, 3}) {
    input::DesignParameters design =
        designFrom(replaceLines(exampleFile("four_look_obrien_fleming.par"), {{37, "40"}}));
    std::ostringstream console, file;
    Report report(console, file);
    sim::UniformGenerator generator;
    generator.nextUniform(design.seed);
    SimulationPass pass(patientCapacityFor(design), threads);
    pass.run(design, generator, report);
    long counts[2] = {};
    for (int i = 0; i < 2; ++i) {
      design.simulationCount = i == 0 ? 40 : 160;
      const long before = allocations;
      pass.run(design, generator, report);
      counts[i] = allocations - before;
    }
    EXPECT_EQ(counts[1], counts[0]) << threads;
    EXPECT_GT(counts[0], 0) << threads;  // the counter does count: the pass writes lines
  }
}

}  // namespace
}  // namespace survseq::search
