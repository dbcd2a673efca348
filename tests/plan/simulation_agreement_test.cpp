#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <sstream>

#include "bounds/planned_information.h"
#include "bounds/trial_boundaries.h"
#include "build_kind.h"
#include "input/accrual_profile.h"
#include "plan/analytic_power.h"
#include "law/law_designs.h"
#include "law/expected_moments.h"
#include "sim/analysis_data.h"
#include "sim/simulated_trial.h"

// The analytic moments, crossing probabilities, expected events and planned information
// against simulated trials, each with the boundaries of its own observed information as
// the pass computes them. 3000 trials per design: the standard error of a mean is about
// 0.018, of a variance about sqrt(2/3000) = 0.026, of a crossing share at most 0.009. A
// moment may be three off plus 0.02, a share three plus 0.01, for what the asymptotics
// leave out at a few hundred events (at 20,000 trials the shares agreed within 0.005); the
// mean events three, and the mean observed information three plus 1 % of the planned (the
// ratio n0 n1 / n^2 of a few patients at risk is below its limit on average).

namespace survseq::plan {
namespace {

constexpr int32_t kTrials = 3000;

struct Case { const char* name; input::DesignParameters design; int32_t patients; };

std::vector<Case> cases() {
  using law::testing::exponentialDesign;
  std::vector<Case> list = {  // the log-rank, and weights for late and for early effects
      {"2:1, slower for 6 months", exponentialDesign(0.7f, 0, 60, {24, 36, 48}), 300},
      {"effect delayed by 6 months", exponentialDesign(0.6f, 6.0f, 1e6f, {30, 42}), 300},
      {"drop-in and drop-out", exponentialDesign(0.65f, 0.0f, 40.0f, {36}), 320}};
  for (Case& c : list) {
    c.design.plannedInformation = input::PlannedInformation::Alternative;
    c.design.statisticCount = 3;
    c.design.rho = {0, 0, 0, 1};
    c.design.tau = {0, 0, 1, 0};
  }
  input::DesignParameters& unequal = list[0].design;
  unequal.allocationRatio = 2;
  unequal.accrualPieceCount = 2;
  unequal.accrualPieceDurations = {0, 6, 18};
  unequal.accrualRelativeRates = {0, 0.25f, 1};
  input::DesignParameters& dropIn = list[2].design;
  dropIn.dropInTimes[1] = 6.0f;
  dropIn.dropInRates[1] = 0.3f;
  dropIn.dropOutTimes[1] = 3.0f;
  dropIn.dropOutRates[1] = 0.2f;
  return list;
}

TEST(SimulationAgreement, MomentsCrossingsAndEventsOfSimulatedTrials) {
  if (survseq::testing::kSanitizedBuild) GTEST_SKIP() << "statistical check";
  for (Case& c : cases()) {
    input::DesignParameters& d = c.design;
    const int32_t K = d.analysisCount;
    const double patients = c.patients;
    d.accrualRate = input::rateForPatients(d, c.patients);
    const AnalyticPlan plan = AnalyticModel(d, patients).plan(d.accrualRate, patients);
    const law::ExpectedMoments moments(d, law::Hypothesis::Alternative);
    const bounds::PlannedInformationTable planned = bounds::plannedInformation(
        d, d.accrualRate, bounds::lookSchedule(d, d.accrualRate));
    for (int32_t s = 1; s <= d.statisticCount; ++s) {
      d.informationFloor[s] = bounds::kInformationFloorShare * planned[s][1];
      d.informationCeiling[s] = planned[s][K];
    }

    sim::SimulatedTrial trial(c.patients);
    sim::AnalysisData data(c.patients);
    sim::StatisticResults results;
    sim::UniformGenerator generator;
    int32_t seed = -4711;
    std::ostringstream notes;
    double sum[4][16] = {}, squares[4][16] = {};  // statistic 0: the events
    double information[4][16] = {}, informationSquares[4][16] = {};
    int32_t crossed[4] = {};
    for (int32_t n = 0; n < kTrials; ++n) {
      sim::generateTrial(d, c.patients, generator, seed, trial, notes);
      bool stopped[4] = {};
      bounds::TrialBoundaryState boundaries;
      for (int32_t k = 1; k <= K; ++k) {
        sim::collectAnalysisData(trial, c.patients, d.analysisTimes[k], data);
        const double events = std::accumulate(data.eventIndicator.begin(),
                                              data.eventIndicator.begin() + data.enteredCount, 0.0);
        sim::sortAnalysisData(data);
        sim::computeStatistics(data, d.statisticCount, d.rho, d.tau, results);
        for (int32_t s = 1; s <= d.statisticCount; ++s) {
          boundaries.observedInformation(s, k) = results.statisticVariance[s];
          information[s][k] += results.statisticVariance[s];
          informationSquares[s][k] += double(results.statisticVariance[s]) * results.statisticVariance[s];
        }
        bounds::updateTrialBoundaries(k, d, boundaries, notes);
        for (int32_t s = 0; s <= d.statisticCount; ++s) {  // 0: the events
          const double z = s == 0 ? events : results.statisticValue[s];
          sum[s][k] += z;
          squares[s][k] += z * z;
          if (s > 0 && !stopped[s] && z >= boundaries.boundaries.criticalValue(s, k)) {
            stopped[s] = true;
            ++crossed[s];
          }
        }
      }
    }
    for (int32_t s = 0; s <= d.statisticCount; ++s) {
      for (int32_t k = 1; k <= K; ++k) {
        const double mean = sum[s][k] / kTrials, variance = squares[s][k] / kTrials - mean * mean;
        if (s == 0) {
          const double events = patients * moments.eventsBy(d.analysisTimes[k]);
          EXPECT_NEAR(mean, events, 3 * std::sqrt(variance / kTrials)) << c.name << " look " << k;
          continue;
        }
        const law::PatientMoments m = moments.at(d.analysisTimes[k], d.rho[s], d.tau[s]);
        const double drift = std::sqrt(patients) * m.drift / std::sqrt(m.information);
        EXPECT_NEAR(mean, drift, 3 * 0.018 + 0.02) << c.name << " statistic " << s << " look " << k;
        EXPECT_NEAR(variance, 1.0, 3 * 0.026 + 0.02) << c.name << " statistic " << s << k;
        // The planned information is the expectation of the observed one.
        const double meanInformation = information[s][k] / kTrials;
        const double spread = informationSquares[s][k] / kTrials - meanInformation * meanInformation;
        EXPECT_NEAR(meanInformation, planned[s][k],
                    3 * std::sqrt(spread / kTrials) + 0.01 * planned[s][k])
            << c.name << " statistic " << s << " look " << k;
      }
      if (s == 0) continue;
      const double share = double(crossed[s]) / kTrials;
      const double power = plan.statistics[static_cast<size_t>(s)].power;
      EXPECT_NEAR(share, power, 3 * std::sqrt(power * (1 - power) / kTrials) + 0.01)
          << c.name << " statistic " << s;
    }
  }
}

}  // namespace
}  // namespace survseq::plan
