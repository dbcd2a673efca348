// Simulated trials per second of one simulation pass, as the search runs it, on three
// designs of growing size (bench/designs), on one thread and on two. The rate is taken
// over wall-clock time, since the trials of a pass run on several threads.

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "input/design_parameters.h"
#include "input/parameter_file.h"
#include "search/report.h"
#include "report/report_file.h"
#include "search/simulation_pass.h"
#include "sim/uniform_generator.h"

namespace {

using namespace survseq;

void simulatedTrials(benchmark::State& state, const std::string& designName) {
  const auto threads = static_cast<int32_t>(state.range(0));
  std::ifstream in(std::string(SURVSEQ_SOURCE_DIR) + "/bench/designs/" + designName);
  std::ostringstream console;
  input::DesignParameters design;
  report::ReportFile reportFile;  // the designs write their report to /dev/null
  input::readParameterFile(in, console, console, design, reportFile);

  std::ostringstream discarded;
  search::Report report(discarded, reportFile.stream());
  sim::UniformGenerator generator;
  generator.nextUniform(design.seed);
  search::SimulationPass pass(search::patientCapacityFor(design), threads);

  for (auto _ : state) {
    pass.run(design, generator, report);
    benchmark::DoNotOptimize(pass.results().rejectionCount[1]);
    discarded.str("");
  }
  state.counters["trials/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * design.simulationCount, benchmark::Counter::kIsRate);
  state.counters["patients"] = static_cast<double>(static_cast<int>(design.accrualRate * design.accrualPeriod));
}

// The argument is the number of threads.
BENCHMARK_CAPTURE(simulatedTrials, small, std::string("small.par"))
    ->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(simulatedTrials, typical, std::string("typical.par"))
    ->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(simulatedTrials, heavy, std::string("heavy.par"))
    ->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
