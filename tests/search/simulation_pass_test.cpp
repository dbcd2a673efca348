// The simulation pass: the same passes, bit for bit and line for line, on any number of
// threads; an information scale that belongs to the pass's own rate; trials that read
// nothing another trial left behind; and no allocation per trial.

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <sstream>

#include "counted_allocations.h"
#include "input/parameter_file.h"
#include "program_runner.h"
#include "search/simulation_pass.h"
#include "search/trial_analysis.h"

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

// The delayed-effect example, 60 trials, with a hazard ratio cut where the baseline survival
// is below 1e-6, so that generation warns "tmpp too small" now and then; `lines`, then
// `shape`, replace more.
std::string delayedEffect(std::map<int, std::string> lines = {},
                          const std::map<int, std::string>& shape = {}) {
  lines.insert(shape.begin(), shape.end());
  lines.insert({{37, "60"}, {103, "6 600"}});
  return replaceLines(exampleFile("delayed_effect_two_statistics.par"), lines);
}
// Five statistics on trials of about a dozen patients: now and then a statistic has too
// little information at the last look and falls back ("v0" lines); and a first look so
// early that often nobody has entered ("no life enters before").
const std::map<int, std::string> kFive = {
    {26, "5"}, {30, "0 0 1 1 0.5"}, {33, "0 1 0 1 0.5"}, {88, "24 0.4 0.6"}};
const std::map<int, std::string> kEarly = {{23, "0.01 42 54"}};

std::string bits(float value) { return std::to_string(std::bit_cast<uint32_t>(value)); }
std::string bits(double value) { return std::to_string(std::bit_cast<uint64_t>(value)); }

// Everything a pass leaves, every real by its bits.
std::string describe(const PassResults& results, const IterationRecord& record,
                     const input::DesignParameters& design) {
  std::ostringstream out;
  for (int32_t s = 1; s <= design.statisticCount; ++s) {
    out << s << ": " << results.rejectionCount[s] << ' ' << bits(results.stoppingTimeSum[s]) << ' '
        << bits(design.informationFloor[s]) << ' ' << bits(design.informationCeiling[s]);
    for (size_t k = 1; k <= size_t(design.analysisCount); ++k) {
      const LookSums& sums = results.lookSums[size_t(s)][k];
      out << " | " << sums.stoppedCount << ' ' << sums.reachedCount << ' '
          << bits(sums.criticalValueSum) << ' ' << bits(sums.eventCountSum) << ' '
          << bits(sums.informationSum) << ' '
          << bits(record.statistics[size_t(s - 1)].looks[k].meanCriticalValue);
    }
    out << '\n';
  }
  out << design.seed << ' ' << bits(design.haybittleB) << '\n';
  return out.str();
}

// Passes at `rates` through one SimulationPass, each on the stream of the design's seed: the
// figures, console and report of each.
std::vector<std::string> runPasses(input::DesignParameters design, int32_t threads,
                                   std::initializer_list<float> rates) {
  SimulationPass pass(patientCapacityFor(design), threads);
  const int32_t seed = design.seed;
  std::vector<std::string> passes;
  for (const float rate : rates) {
    std::ostringstream console, file;
    Report report(console, file);
    sim::UniformGenerator generator;
    generator.nextUniform(design.seed = seed);
    design.accrualRate = rate;
    const IterationRecord& record = pass.run(design, generator, report);
    passes.push_back(describe(pass.results(), record, design) + console.str() + file.str());
  }
  return passes;
}

// The information floor below which a statistic is not tested and the planned maximum that
// makes observed information fractions belong to the pass's rate, not to the rate the search
// tried first: a pass at the lower rate is the same after one at the upper rate.
TEST(SimulationPass, EveryThreadCountGivesTheSamePassesAndLinesAndEachRateItsOwnScale) {
  for (const auto& [parameterFile, holds] :
       {std::pair{delayedEffect({}, kFive), "v0 is too large"}, {delayedEffect(), "tmpp too small"},
        {delayedEffect({}, kEarly), "no life enters before"},
        {delayedEffect({{11, "4"}, {61, "2.5 2.2 2.0"}}, kEarly), "no life enters before"}}) {
    SCOPED_TRACE(holds);
    const input::DesignParameters design = designFrom(parameterFile);
    const auto rates = {design.accrualRateUpper, design.accrualRateLower};
    const auto one = runPasses(design, 1, rates);
    EXPECT_NE((one[0] + one[1]).find(holds), std::string::npos);
    for (const int32_t threads : {2, 3, 8}) EXPECT_EQ(runPasses(design, threads, rates), one);
    EXPECT_EQ(runPasses(design, 1, {design.accrualRateLower})[0], one[1]);
  }
}

std::string describe(const TrialOutcome& outcome, int32_t statisticCount) {
  std::ostringstream out;
  for (int32_t i = 0; i < outcome.lookCount; ++i) {
    const TrialOutcome::Look& look = outcome.looks[size_t(i)];
    out << look.statistic << '/' << look.analysis << ' ' << bits(look.criticalValue) << ' '
        << look.eventCount << ' ' << bits(look.information) << ' ' << look.rejected << '\n';
  }
  for (int32_t s = 1; s <= statisticCount; ++s) {
    if (outcome.addsStoppingTime[s]) out << "stops " << s << ' ' << bits(outcome.stoppingTime[s]);
  }
  return out.str();
}

// The exactness of analysing trials anywhere rests on this: a trial analysed in the state
// the previous trial left gives the same outcome and lines as one analysed in a state whose
// every entry is NaN, for every method and every branch of the update.
TEST(TrialAnalysis, ATrialReadsNothingThatAnEarlierTrialLeft) {
  const std::pair<const char*, std::string> cases[] = {
      {"Pocock", delayedEffect({}, kFive)},
      {"O'Brien-Fleming", delayedEffect({{70, "1"}}, kFive)},
      {"linear, nearly complete interim", delayedEffect({{70, "3"}, {23, "30 53.8 54"}}, kFive)},
      {"use function with b", delayedEffect({{70, "4"}}, kFive)},
      {"error split", delayedEffect({{11, "1"}, {49, "0.01 0.015 0.025"}}, kFive)},
      {"Haybittle", delayedEffect({{11, "3"}}, kFive)},
      {"given values", delayedEffect({{11, "4"}, {61, "2.5 2.2 2.0"}}, kFive)},
      {"skipped looks", delayedEffect({}, kEarly)},
      {"skipped looks, error split", delayedEffect({{11, "1"}, {49, "0.01 0.015 0.025"}}, kEarly)},
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const auto& [name, parameterFile] : cases) {
    input::DesignParameters design = designFrom(parameterFile);
    std::ostringstream console, file;
    Report report(console, file);
    sim::UniformGenerator generator;
    generator.nextUniform(design.seed);
    design.simulationCount = 1;
    SimulationPass pass(patientCapacityFor(design));  // sets the floor and ceiling, fixes b
    const int32_t subjects = pass.run(design, generator, report).patientCount;
    sim::SimulatedTrial trial(subjects);
    TrialWorkspace carried(subjects), poisoned(subjects);
    TrialOutcome carriedOutcome, outcome;  // each kept from trial to trial, as in a pass
    const auto analyse = [&](TrialWorkspace& workspace, TrialOutcome& result, int32_t n) {
      std::ostringstream trialConsole, trialFile;
      Report lines(trialConsole, trialFile);
      analyseTrial(design, trial, subjects, n, workspace, lines, result);
      return describe(result, design.statisticCount) + trialConsole.str() + trialFile.str();
    };
    int32_t capped = 0;
    for (int32_t n = 1; n <= 60; ++n) {
      sim::generateTrial(design, subjects, generator, design.seed, trial, file);
      const std::string carriedText = analyse(carried, carriedOutcome, n);
      bounds::TrialBoundaryState& state = poisoned.boundaries;
      state.errorSplit.fill(nan);
      for (int32_t k = 1; k <= input::MaxAnalyses; ++k) {
        for (int32_t s = 1; s <= input::MaxStatistics; ++s) {
          state.boundaries.criticalValue(s, k) = state.observedInformation(s, k) = nan;
        }
      }
      state.boundaryFailed = 1;
      ASSERT_EQ(analyse(poisoned, outcome, n), carriedText) << name << ", trial " << n;
      for (int32_t i = 0; i < outcome.lookCount; ++i) {
        capped += outcome.looks[size_t(i)].criticalValue == 5.0f;
      }
    }
    if (design.boundaryMethod != input::GivenBoundaries) {
      EXPECT_GT(capped, 0) << name;  // looks untested, skipped or nearly complete were met
    }
  }
}

// After the first pass has sized every buffer, a pass allocates the same whether it runs
// 40 trials or 160: nothing per trial, on any thread.
TEST(SimulationPass, TrialsAllocateNothing) {
  input::DesignParameters design =
      designFrom(replaceLines(exampleFile("four_look_obrien_fleming.par"), {{37, "40"}}));
  for (const int32_t threads : {1, 3}) {
    std::ostringstream console, file;
    Report report(console, file);
    sim::UniformGenerator generator;
    SimulationPass pass(patientCapacityFor(design), threads);
    std::vector<long> counts;
    for (const int32_t trials : {40, 40, 160}) {
      design.simulationCount = trials;
      const long before = allocations;
      pass.run(design, generator, report);
      counts.push_back(allocations - before);
    }
    EXPECT_EQ(counts[2], counts[1]) << threads;
    EXPECT_GT(counts[1], 0) << threads;  // the counter does count: the pass writes lines
  }
}

}  // namespace
}  // namespace survseq::search
