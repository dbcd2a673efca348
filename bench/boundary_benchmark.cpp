// Cost of one critical value at the last analysis of a design, the work done for every
// statistic at every analysis of every simulated trial.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "bounds/boundary_computation.h"

namespace {

using survseq::bounds::computeBoundary;
using survseq::bounds::spentError;
using survseq::input::AnalysisValues;
using survseq::input::OBrienFleming;

// Equally spaced analyses with the O'Brien-Fleming use function (two-sided, alpha 0.05),
// the interim values fixed beforehand by successive calls.
struct Design {
  AnalysisValues information{};
  AnalysisValues errorSplit{};
  AnalysisValues critical{};
};

Design obrienFlemingDesign(int32_t analyses) {
  Design design;
  int32_t failed = 0;
  for (int32_t k = 1; k <= analyses; ++k) {
    design.information[k] = static_cast<float>(k) * 25.0f;
    const float fraction = static_cast<float>(k) / static_cast<float>(analyses);
    design.errorSplit[k] = spentError(OBrienFleming, 0.05f, fraction, 0.0f, 0.0f, 0.0f);
    computeBoundary(k, design.information, design.errorSplit, 2, failed, design.critical);
  }
  return design;
}

void lastAnalysisBoundary(benchmark::State& state) {
  const auto analyses = static_cast<int32_t>(state.range(0));
  Design design = obrienFlemingDesign(analyses);
  int32_t failed = 0;
  for (auto _ : state) {
    computeBoundary(analyses, design.information, design.errorSplit, 2, failed,
                    design.critical);
    benchmark::DoNotOptimize(design.critical[analyses]);
  }
}

BENCHMARK(lastAnalysisBoundary)->Arg(4)->Arg(12)->Unit(benchmark::kMicrosecond);

}  // namespace
