// One whole simulation pass of the max-combo design (bench/designs/max_combo.toml: three
// looks, four statistics combined, 10,000 trials) on one thread: its wall-clock time, and
// the CPU time the trials spent finding the combination's critical values (the
// multivariate normal probabilities), summed over the trials.

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "input/design_parameters.h"
#include "input/keyed_design_file.h"
#include "search/report.h"
#include "search/simulation_pass.h"
#include "sim/uniform_generator.h"

namespace {

using namespace survseq;

void maxComboPass(benchmark::State& state) {
  const std::string name = std::string(SURVSEQ_SOURCE_DIR) + "/bench/designs/max_combo.toml";
  std::ifstream in(name);
  input::DesignParameters design;
  input::readKeyedDesign(input::parseKeyedDesign(in, name), name, design);

  std::ostringstream console, file;
  search::Report report(console, file);
  search::SimulationPass pass(search::patientCapacityFor(design), 1);
  double probabilitySeconds = 0.0;
  for (auto _ : state) {
    sim::UniformGenerator generator;
    generator.nextUniform(design.seed);
    pass.run(design, generator, report);
    benchmark::DoNotOptimize(pass.results().combination.rejectionCount);
    probabilitySeconds += pass.results().combination.probabilitySeconds;
    console.str("");
    file.str("");
  }
  const auto passes = static_cast<double>(state.iterations());
  state.counters["trials"] = design.simulationCount;
  state.counters["probabilities_s"] = probabilitySeconds / passes;
  state.counters["trials/s"] =
      benchmark::Counter(passes * design.simulationCount, benchmark::Counter::kIsRate);
}

BENCHMARK(maxComboPass)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
