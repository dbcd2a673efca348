#include "plan/stop_expectations.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "bounds/planned_information.h"
#include "input/accrual_profile.h"
#include "law/expected_moments.h"

namespace survseq::plan {

namespace {

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
  // The looks as the simulation plans them: event-driven looks come when the events
  // expected under the null reach their targets.
  const bounds::LookSchedule schedule = bounds::lookSchedule(design, plan.accrualRate);
  const law::ExpectedMoments null(design, law::Hypothesis::Null);
  const bool calendar = design.analysisTiming == input::AnalysisTiming::Calendar;
  LooksUnderNull looks{};
  for (int32_t k = 1; k <= plan.analysisCount; ++k) {
    const double time = schedule.nullTime[k];  // NaN for a target the null never reaches
    looks[static_cast<size_t>(k)] = {
        time, calendar ? plan.patients * null.eventsBy(time) : double(schedule.eventTarget[k])};
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
    return std::isnan(time) ? time : patients * input::enrolledShareBy(design, time);
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
