// Simulated trials per second of one simulation pass, as the search runs it, on three
// designs of growing size (bench/designs).

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
  std::ifstream in(std::string(SURVSEQ_SOURCE_DIR) + "/bench/designs/" + designName);
  std::ostringstream console;
  input::DesignParameters design;
  report::ReportFile reportFile;  // the designs write their report to /dev/null
  input::readParameterFile(in, console, console, design, reportFile);

  std::ostringstream discarded;
  search::Report report(discarded, reportFile.stream());
  sim::UniformGenerator generator;
  generator.nextUniform(design.seed);
  search::SimulationPass pass(search::patientCapacityFor(design));

  for (auto _ : state) {
    pass.run(design, generator, report);
    benchmark::DoNotOptimize(pass.results().rejectionCount[1]);
    discarded.str("");
  }
  state.counters["trials/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * design.simulationCount, benchmark::Counter::kIsRate);
  state.counters["patients"] = static_cast<double>(static_cast<int>(design.accrualRate * design.accrualPeriod));
}

BENCHMARK_CAPTURE(simulatedTrials, small, std::string("small.par"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(simulatedTrials, typical, std::string("typical.par"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(simulatedTrials, heavy, std::string("heavy.par"))->Unit(benchmark::kMillisecond);

}  // namespace
