#include "sim/event_look_times.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <limits>

namespace survseq::sim {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// collectAnalysisData's test for an event seen at time t: follow-up min(t - entry,
// censoring) positive and not shorter than the event time.
bool seenAt(float t, float entry, float eventTime, float censoring) {
  float followUp = t - entry;
  if (followUp > censoring) followUp = censoring;
  return followUp > 0.0f && !(followUp < eventTime);
}

// std::nextafter(x, +infinity) and std::nextafter(x, -infinity) for x not a NaN and not
// infinite, without the library call: the neighbours of a float are its bit pattern
// plus or minus one, away from or toward zero by its sign.
float stepUp(float x) {
  if (x == 0.0f) return std::numeric_limits<float>::denorm_min();
  const auto bits = std::bit_cast<uint32_t>(x);
  return std::bit_cast<float>(x > 0.0f ? bits + 1 : bits - 1);
}
float stepDown(float x) { return -stepUp(-x); }

}  // namespace

float eventObservationTime(const SimulatedTrial& trial, int32_t j) {
  const auto i = static_cast<size_t>(j);
  const float entry = trial.entryTime[i];
  const float eventTime = trial.eventTime[i];
  const float censoring = trial.censoringTime[i];
  if (eventTime > censoring) return kInfinity;
  float t = entry + eventTime;
  if (!std::isfinite(t)) return kInfinity;
  // t - entry is monotone in t, so the first time seen is a few representable steps from
  // the rounded sum at most.
  // t stays finite or, stepping up from the largest float, becomes +infinity, where the
  // event is seen (followed up to the censoring, which is not before the event).
  while (!seenAt(t, entry, eventTime, censoring)) t = stepUp(t);
  for (float earlier = stepDown(t); seenAt(earlier, entry, eventTime, censoring);
       earlier = stepDown(earlier)) {
    t = earlier;
  }
  return t;
}

void eventLookTimes(const SimulatedTrial& trial, int32_t subjectCount,
                    const input::AnalysisCounts& targets, int32_t analysisCount, float accrualEnd,
                    std::vector<float>& scratch, EventLooks& looks) {
  if (scratch.size() < static_cast<size_t>(subjectCount)) {
    scratch.resize(static_cast<size_t>(subjectCount));
  }
  int32_t events = 0;
  for (int32_t j = 0; j < subjectCount; ++j) {
    const float t = eventObservationTime(trial, j);
    if (t < kInfinity) scratch[static_cast<size_t>(events++)] = t;
  }
  looks.eventCount = events;
  if (events == 0) {
    looks.finalLook = 1;
    looks.time[1] = accrualEnd;
    return;
  }
  const auto begin = scratch.begin();
  const auto end = begin + events;
  // Each target's event is found among the times after the previous target's, so the
  // targets, increasing, cost a linear pass each over a shrinking range.
  auto from = begin;
  for (int32_t k = 1; k <= analysisCount; ++k) {
    looks.finalLook = k;
    if (targets[k] >= events) {  // the events run out at or before this target
      looks.time[k] = *std::max_element(from, end);
      return;
    }
    const auto nth = begin + (targets[k] - 1);
    std::nth_element(from, nth, end);
    looks.time[k] = *nth;
    from = nth + 1;
  }
}

}  // namespace survseq::sim
