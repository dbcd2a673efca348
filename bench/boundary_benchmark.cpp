// Cost of one critical value at the last analysis of a design, the work done for every
// statistic at every analysis of every simulated trial, and of its inner kernel: normal
// densities summed over the quadrature nodes, one point at a time (the scalar path)
// and several at a time (the vectorised one).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bounds/boundary_computation.h"
#include "bounds/normal_distribution.h"
#include "bounds/propagation_kernel.h"
#include "bounds/score_subdensity.h"

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

[[gnu::noinline]] Design obrienFlemingDesign(int32_t analyses) {
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
  state.SetLabel(survseq::bounds::propagationKernelTarget());
}

BENCHMARK(lastAnalysisBoundary)->Arg(4)->Arg(12)->Unit(benchmark::kMicrosecond);

// The density of 4096 exponents spread over (-87, -0.92], as the search meets them.
std::vector<float> spreadExponents() {
  std::vector<float> exponent(4096);
  for (size_t i = 0; i < exponent.size(); ++i) {
    exponent[i] = -0.92f - 86.0f * static_cast<float>(i) / static_cast<float>(exponent.size());
  }
  return exponent;
}

void densityOfExponentScalar(benchmark::State& state) {
  const std::vector<float> exponent = spreadExponents();
  std::vector<float> density(exponent.size());
  for (auto _ : state) {
    for (size_t i = 0; i < exponent.size(); ++i) {
      density[i] = survseq::bounds::densityOfExponent(exponent[i]);
    }
    benchmark::DoNotOptimize(density.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(exponent.size()));
}

void densityOfExponentVector(benchmark::State& state) {
  const std::vector<float> exponent = spreadExponents();
  std::vector<float> density(exponent.size());
  for (auto _ : state) {
    survseq::bounds::densitiesOfExponents(exponent.data(), density.data(), exponent.size());
    benchmark::DoNotOptimize(density.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(exponent.size()));
  state.SetLabel(survseq::bounds::propagationKernelTarget());
}

BENCHMARK(densityOfExponentScalar);
BENCHMARK(densityOfExponentVector);

// The propagated density (24 normal densities each) at the 1000 points of a full search.
survseq::bounds::ScoreSubDensity searchSubDensity() {
  survseq::bounds::ScoreSubDensity g;
  g.scoreBoundary = 2.4f;
  for (size_t n = 0; n < g.atNode.size(); ++n) g.atNode[n] = 0.35f - 0.02f * float(n);
  return g;
}

std::vector<double> searchPoints() {
  std::vector<double> y;
  for (float x = 0.0f; y.size() < 1000; x += 0.005f) y.push_back(x);
  return y;
}

void propagatedDensityScalar(benchmark::State& state) {
  const survseq::bounds::ScoreSubDensity g = searchSubDensity();
  const std::vector<double> y = searchPoints();
  std::vector<float> density(y.size());
  for (auto _ : state) {
    for (size_t i = 0; i < y.size(); ++i) {
      density[i] = survseq::bounds::propagatedDensity(g, 0.5f, y[i]);
    }
    benchmark::DoNotOptimize(density.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(y.size()));
}

void propagatedDensityVector(benchmark::State& state) {
  const survseq::bounds::PropagationTerms terms =
      survseq::bounds::propagationTerms(searchSubDensity(), 0.5f);
  const std::vector<double> y = searchPoints();
  std::vector<float> density(y.size());
  for (auto _ : state) {
    survseq::bounds::propagatedDensities(terms, y.data(), density.data(), y.size());
    benchmark::DoNotOptimize(density.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(y.size()));
  state.SetLabel(survseq::bounds::propagationKernelTarget());
}

BENCHMARK(propagatedDensityScalar)->Unit(benchmark::kMicrosecond);
BENCHMARK(propagatedDensityVector)->Unit(benchmark::kMicrosecond);

}  // namespace
