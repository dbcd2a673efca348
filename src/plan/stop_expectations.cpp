#include "plan/stop_expectations.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "bounds/look_schedule.h"
#include "input/accrual_profile.h"
#include "plan/statistic_moments.h"

namespace survseq::plan {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// The design with no treatment effect: the treatment arm follows the baseline curve.
input::DesignParameters nullDesign(const input::DesignParameters& design) {
  input::DesignParameters null = design;
  null.alternativeKind = static_cast<float>(input::HazardRatiosGiven);
  null.hazardRatioCount = 1;
  null.hazardRatioCuts[1] = 1.0f;
  null.hazardRatios[1] = 1.0f;  // and 1 beyond
  return null;
}

// The expectation of `figure` (look k -> X_k) over the look at which the trial stops.
template <typename Figure>
double expectedAtStop(int32_t lookCount, const std::array<double, input::MaxAnalyses + 1>& stopBy,
                      Figure figure) {
  double expectation = 0.0;
  double before = 0.0;
  for (int32_t k = 1; k <= lookCount; ++k) {
    const double by = k == lookCount ? 1.0 : std::min(1.0, stopBy[static_cast<size_t>(k)]);
    const double here = std::max(0.0, by - before);
    if (here > 0.0) expectation += here * figure(k);
    before = std::max(before, by);
  }
  return expectation;
}

}  // namespace

LooksUnderNull looksUnderNull(const input::DesignParameters& design, const AnalyticPlan& plan) {
  const int32_t K = plan.analysisCount;
  const double patients = plan.patients;
  LooksUnderNull looks{};
  if (design.analysisTiming == input::AnalysisTiming::Calendar) {
    double horizon = 0.0;
    for (int32_t k = 1; k <= K; ++k) horizon = std::max(horizon, double(design.analysisTimes[k]));
    const MomentIntegrator null(design, true, horizon);
    for (int32_t k = 1; k <= K; ++k) {
      const double time = design.analysisTimes[k];
      looks[static_cast<size_t>(k)] = {time, patients * null.eventsBy(time)};
    }
    return looks;
  }
  // Looks at event targets: the fixed ones, or those the rate plans from the calendar times.
  const input::AnalysisCounts targets =
      design.analysisTiming == input::AnalysisTiming::FixedEvents
          ? design.analysisEvents
          : bounds::lookSchedule(design, plan.accrualRate).eventTarget;
  const input::DesignParameters null = nullDesign(design);
  for (int32_t k = 1; k <= K; ++k) {
    const double events = targets[static_cast<size_t>(k)];
    const double time = timeOfExpectedEvents(null, patients, events);
    looks[static_cast<size_t>(k)] = {time < 0.0 ? kNone : time, events};
  }
  return looks;
}

StopExpectations stopExpectations(const input::DesignParameters& design, const AnalyticPlan& plan,
                                  const LooksUnderNull& null, int32_t statistic) {
  const int32_t K = plan.analysisCount;
  const AnalyticStatistic& s = plan.statistics[static_cast<size_t>(statistic)];
  std::array<double, input::MaxAnalyses + 1> stopAlternative{};
  std::array<double, input::MaxAnalyses + 1> stopNull{};
  for (int32_t k = 1; k <= K; ++k) {
    stopAlternative[static_cast<size_t>(k)] =
        s.looks[static_cast<size_t>(k)].cumulativeStopAlternative;
    stopNull[static_cast<size_t>(k)] = s.looks[static_cast<size_t>(k)].cumulativeStopNull;
  }
  const double patients = plan.patients;
  const auto enrolled = [&](double time) {
    return std::isnan(time) ? kNone : patients * input::enrolledShareBy(design, time);
  };
  const auto look = [&](int32_t k) { return s.looks[static_cast<size_t>(k)]; };
  const auto atNull = [&](int32_t k) { return null[static_cast<size_t>(k)]; };
  StopExpectations out;
  out.alternative.events =
      expectedAtStop(K, stopAlternative, [&](int32_t k) { return look(k).expectedEvents; });
  out.alternative.duration =
      expectedAtStop(K, stopAlternative, [&](int32_t k) { return look(k).expectedTime; });
  out.alternative.patients =
      expectedAtStop(K, stopAlternative, [&](int32_t k) { return enrolled(look(k).expectedTime); });
  out.null.events = expectedAtStop(K, stopNull, [&](int32_t k) { return atNull(k).events; });
  out.null.duration = expectedAtStop(K, stopNull, [&](int32_t k) { return atNull(k).time; });
  out.null.patients =
      expectedAtStop(K, stopNull, [&](int32_t k) { return enrolled(atNull(k).time); });
  return out;
}

}  // namespace survseq::plan
