// Records per second of the analysis sort on the data of simulated trials of the bench
// designs, as each analysis of each trial presents them: the sort the simulation uses
// against the gap-halving exchange sort that defines the order. Counters: "tied share",
// the share of analyses with equal times of differing records, whose order the sort has
// to work out, "blocks/analysis", the mean number of such blocks of equal times, and
// "most blocks", the largest number in one analysis (beyond 32 the exchange sort runs).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "input/design_parameters.h"
#include "input/parameter_file.h"
#include "report/report_file.h"
#include "sim/analysis_data.h"
#include "sim/simulated_trial.h"
#include "sim/uniform_generator.h"

namespace {

using namespace survseq;

struct Analyses {
  std::vector<sim::AnalysisData> data;
  int64_t recordCount = 0;
  int64_t tiedAnalyses = 0;
  int64_t blocks = 0;
  int32_t mostBlocks = 0;
};

// The number of blocks of equal times holding records that differ, whose order can show.
int32_t blocksToOrder(sim::AnalysisData data) {
  sim::gapHalvingSort(data);
  int32_t blocks = 0;
  for (int32_t i = 1, first = 0; i <= data.enteredCount; ++i) {
    const auto j = static_cast<size_t>(i);
    if (i < data.enteredCount && data.observedTime[j] == data.observedTime[j - 1]) continue;
    for (auto k = static_cast<size_t>(first); k < j; ++k) {
      if (data.observedGroup[k] != data.observedGroup[j - 1] ||
          data.eventIndicator[k] != data.eventIndicator[j - 1]) {
        ++blocks;
        break;
      }
    }
    first = i;
  }
  return blocks;
}

// Every analysis of the first `trials` trials of the design, at its upper accrual rate.
Analyses analysesOf(const std::string& designName, int32_t trials) {
  std::ifstream in(std::string(SURVSEQ_SOURCE_DIR) + "/bench/designs/" + designName);
  std::ostringstream console, report;
  input::DesignParameters design;
  report::ReportFile reportFile;
  input::readParameterFile(in, console, console, design, reportFile);
  sim::UniformGenerator generator;
  generator.nextUniform(design.seed);
  const auto subjectCount =
      static_cast<int32_t>(std::trunc(double(design.accrualRate) * design.accrualPeriod));
  sim::SimulatedTrial trial(subjectCount);
  Analyses analyses;
  for (int32_t n = 0; n < trials; ++n) {
    sim::generateTrial(design, subjectCount, generator, design.seed, trial, report);
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      sim::AnalysisData data(subjectCount);
      sim::collectAnalysisData(trial, subjectCount, design.analysisTimes[k], data);
      analyses.recordCount += data.enteredCount;
      const int32_t blocks = blocksToOrder(data);
      analyses.blocks += blocks;
      analyses.tiedAnalyses += blocks > 0;
      analyses.mostBlocks = std::max(analyses.mostBlocks, blocks);
      analyses.data.push_back(std::move(data));
    }
  }
  return analyses;
}

void analysisSort(benchmark::State& state, void (*sort)(sim::AnalysisData&),
                  const std::string& designName, int32_t trials) {
  const Analyses analyses = analysesOf(designName, trials);
  sim::AnalysisData work(analyses.data.front().observedTime.size());
  for (auto _ : state) {
    for (const sim::AnalysisData& data : analyses.data) {
      // Copying the records in costs a small fraction of sorting them.
      const auto m = static_cast<size_t>(data.enteredCount);
      std::copy_n(data.observedTime.begin(), m, work.observedTime.begin());
      std::copy_n(data.observedGroup.begin(), m, work.observedGroup.begin());
      std::copy_n(data.eventIndicator.begin(), m, work.eventIndicator.begin());
      work.enteredCount = data.enteredCount;
      sort(work);
      benchmark::DoNotOptimize(work.observedGroup.data());
    }
  }
  state.counters["records/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * analyses.recordCount), benchmark::Counter::kIsRate);
  state.counters["records/analysis"] =
      static_cast<double>(analyses.recordCount) / static_cast<double>(analyses.data.size());
  const auto analysisCount = static_cast<double>(analyses.data.size());
  state.counters["tied share"] = static_cast<double>(analyses.tiedAnalyses) / analysisCount;
  state.counters["blocks/analysis"] = static_cast<double>(analyses.blocks) / analysisCount;
  state.counters["most blocks"] = analyses.mostBlocks;
}

BENCHMARK_CAPTURE(analysisSort, typical_fast, sim::sortAnalysisData, "typical.par", 200)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(analysisSort, typical_exchange, sim::gapHalvingSort, "typical.par", 200)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(analysisSort, heavy_fast, sim::sortAnalysisData, "heavy.par", 20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(analysisSort, heavy_exchange, sim::gapHalvingSort, "heavy.par", 20)
    ->Unit(benchmark::kMillisecond);

}  // namespace
