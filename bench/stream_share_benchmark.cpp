// How much of a simulation pass is the sequential step: the draws taken from the one
// random stream, on the calling thread, while every other part of a trial runs on any
// thread. The share is the CPU time the calling thread spends in that step over the CPU
// time of all threads of the pass, each read from the thread's own clock
// (CLOCK_THREAD_CPUTIME_ID, pthread_getcpuclockid), so it does not depend on how many
// cores the machine has or how busy it is. By Amdahl's law a serial share s bounds the
// speed-up on n cores to 1 / (s + (1 - s) / n); the counters give it for 8, 16 and 64.
//
// Designs: the typical and heavy bench designs, and an event-driven one (996 patients,
// one log-rank statistic, looks at 299, 448, 598 and 747 events, 20,000 trials).

#include <benchmark/benchmark.h>

#include <fstream>
#include <numeric>
#include <sstream>
#include <string>

#include "input/design_parameters.h"
#include "run/design_reading.h"
#include "search/report.h"
#include "search/simulation_pass.h"
#include "search/trial_pipeline.h"
#include "sim/uniform_generator.h"

namespace {

using namespace survseq;

double amdahlBound(double serialShare, double cores) {
  return 1.0 / (serialShare + (1.0 - serialShare) / cores);
}

void streamShare(benchmark::State& state, const std::string& designName) {
  const auto threads = static_cast<int32_t>(state.range(0));
  const std::string path = std::string(SURVSEQ_SOURCE_DIR) + "/bench/designs/" + designName;
  std::ifstream in(path);
  const bool keyed = designName.ends_with(".toml");
  std::ostringstream warnings;
  input::DesignParameters design;
  run::readDesignWithoutReport(
      in, {keyed ? run::DesignFormat::Keyed : run::DesignFormat::Positional, path, ""}, warnings,
      design);

  std::ostringstream console;
  std::ostringstream file;
  search::Report report(console, file);
  sim::UniformGenerator generator;
  generator.nextUniform(design.seed);
  search::SimulationPass pass(search::patientCapacityFor(design), threads);
  search::ThreadCpu cpu;
  pass.accountCpu(&cpu);

  for (auto _ : state) {
    pass.run(design, generator, report);
    benchmark::DoNotOptimize(pass.results().rejectionCount[1]);
    console.str("");
    file.str("");
  }
  const double total = std::accumulate(cpu.threadSeconds.begin(), cpu.threadSeconds.end(), 0.0);
  const double share = cpu.streamSeconds / total;
  state.counters["serial%"] = 100.0 * share;
  for (size_t i = 0; i < cpu.threadSeconds.size(); ++i) {
    state.counters["thread" + std::to_string(i) + "%"] = 100.0 * cpu.threadSeconds[i] / total;
  }
  state.counters["bound8"] = amdahlBound(share, 8.0);
  state.counters["bound16"] = amdahlBound(share, 16.0);
  state.counters["bound64"] = amdahlBound(share, 64.0);
  state.counters["trials/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * design.simulationCount,
                         benchmark::Counter::kIsRate);
}

// The argument is the number of threads.
BENCHMARK_CAPTURE(streamShare, typical, std::string("typical.par"))
    ->ArgName("threads")->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(streamShare, heavy, std::string("heavy.par"))
    ->ArgName("threads")->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(streamShare, event_driven, std::string("event_driven.toml"))
    ->ArgName("threads")->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
