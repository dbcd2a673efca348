// Counts every allocation of the test program, to show that a whole simulated trial -
// generation, and at each analysis the cut, the sort and the statistics - runs on the
// arrays sized at start-up alone.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <sstream>
#include <vector>

#include "sim/analysis_data.h"
#include "sim/simulated_trial.h"
#include "sim/uniform_generator.h"

namespace {
std::atomic<long> allocationCount{0};
}  // namespace

// The replaced operators pair malloc with free themselves; once inlined, GCC matches
// the test framework's new-expressions against the free below and warns wrongly.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  ++allocationCount;
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace survseq::sim {
namespace {

input::SurvivalCurve oneInterval(float end, float survival) {
  input::SurvivalCurve curve;
  curve.count = 1;
  curve.x[1] = end;
  curve.s = {1.0f, survival};
  return curve;
}

TEST(NoAllocation, AFullTrialAtTheLargestSize) {
  constexpr int32_t kPatients = 7100;
  input::DesignParameters design;  // hazard-ratio alternative, drop-in and drop-out
  design.accrualPeriod = 10.0f;
  design.baselineCurve = oneInterval(10.0f, 0.5f);
  design.alternativeKind = 2.0f;
  design.hazardRatioCount = 2;
  design.hazardRatioCuts = {0.0f, 4.0f, 8.0f};
  design.hazardRatios = {0.0f, 0.7f, 0.6f};
  design.censoringControl = design.censoringTreatment = oneInterval(20.0f, 0.8f);
  design.dropInCount = design.dropOutCount = 1;
  design.dropInTimes = design.dropOutTimes = {0.0f, 3.0f};
  design.dropInRates = design.dropOutRates = {0.0f, 0.15f};
  const input::StatisticValues rho{0.0f, 0.0f, 1.0f, 0.0f, 0.5f, 2.0f};
  const input::StatisticValues tau{0.0f, 0.0f, 0.0f, 1.0f, 0.5f, 0.0f};

  SimulatedTrial trial(kPatients);
  AnalysisData data(kPatients);
  StatisticResults results;
  UniformGenerator generator;
  int32_t seed = -123457;
  std::ostringstream report;

  const long before = allocationCount.load();
  generateTrial(design, kPatients, generator, seed, trial, report);
  for (float analysisTime : {4.0f, 8.0f, 12.0f}) {
    collectAnalysisData(trial, kPatients, analysisTime, data);
    sortAnalysisData(data);
    computeStatistics(data, 5, rho, tau, results);
  }
  const long after = allocationCount.load();

  EXPECT_EQ(after - before, 0);
  EXPECT_GT(data.enteredCount, 6000);
  EXPECT_GT(results.eventCount, 1000);
  EXPECT_TRUE(report.str().empty());

  // The counter does see allocations.
  std::vector<float> probe(10);
  asm volatile("" : : "g"(probe.data()) : "memory");
  EXPECT_GT(allocationCount.load(), after);
}

}  // namespace
}  // namespace survseq::sim
