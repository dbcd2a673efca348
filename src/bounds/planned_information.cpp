#include "bounds/planned_information.h"

#include <cmath>
#include <limits>
#include <string>

#include "input/accrual_profile.h"
#include "law/expected_moments.h"
#include "law/null_variance.h"
#include "report/message_text.h"
#include "report/run_error.h"

namespace survseq::bounds {

namespace {

using input::DesignParameters;

std::string analysisText(int32_t k) { return "analysis " + std::to_string(k); }

// The time `patients` patients are expected to reach `target` events under `moments`.
float timeOfTarget(const law::ExpectedMoments& moments, double patients, int32_t target,
                   int32_t k) {
  const double time = moments.timeOfEvents(patients, double(target));
  if (!std::isfinite(time)) {
    throw RunError("the expected events never reach the target " + std::to_string(target) +
                   " of " + analysisText(k) + " with " +
                   std::to_string(static_cast<int64_t>(patients)) + " patients");
  }
  return static_cast<float>(time);
}

}  // namespace

LookSchedule lookSchedule(const DesignParameters& design, float rate) {
  LookSchedule looks;
  looks.time = looks.nullTime = design.analysisTimes;
  if (design.analysisTiming == input::AnalysisTiming::Calendar) return looks;
  const double patients = input::patientsAtRate(design, rate);
  const law::ExpectedMoments alternative(design, law::Hypothesis::Alternative);
  const law::ExpectedMoments null(design, law::Hypothesis::Null);
  const int32_t K = design.analysisCount;
  for (int32_t k = 1; k <= K; ++k) {
    looks.eventTarget[k] =
        design.analysisTiming == input::AnalysisTiming::FixedEvents
            ? design.analysisEvents[k]
            : static_cast<int32_t>(std::lround(
                  patients * alternative.eventsBy(double(design.analysisTimes[k]))));
    const int32_t floor = k == 1 ? 1 : looks.eventTarget[k - 1] + 1;
    if (looks.eventTarget[k] < floor) {
      throw RunError("the event targets must increase from at least 1, but " + analysisText(k) +
                     " has " + std::to_string(looks.eventTarget[k]) +
                     (k == 1 ? std::string() : " after " + std::to_string(looks.eventTarget[k - 1])) +
                     " at the accrual rate " + report::numberText(rate));
    }
    looks.time[k] = timeOfTarget(alternative, patients, looks.eventTarget[k], k);
    // A design whose treatment arm has fewer events than the control arm's may expect a
    // target that the null never reaches: no time there.
    const double nullTime = null.timeOfEvents(patients, looks.eventTarget[k]);
    looks.nullTime[k] = std::isfinite(nullTime) ? static_cast<float>(nullTime)
                                                : std::numeric_limits<float>::quiet_NaN();
  }
  return looks;
}

PlannedInformationTable plannedInformation(const DesignParameters& design, float rate,
                                           const LookSchedule& looks) {
  PlannedInformationTable table{};
  if (design.plannedInformation == input::PlannedInformation::Original) {
    for (int32_t s = 1; s <= design.statisticCount; ++s) {
      law::plannedNullVariances(design, rate, design.rho[s], design.tau[s], looks.time,
                                table[static_cast<size_t>(s)]);
    }
    return table;
  }
  const bool underNull = design.plannedInformation == input::PlannedInformation::Null;
  const law::ExpectedMoments moments(
      design, underNull ? law::Hypothesis::Null : law::Hypothesis::Alternative);
  const input::AnalysisValues& times = underNull ? looks.nullTime : looks.time;
  const double patients = input::patientsAtRate(design, rate);
  for (int32_t k = 1; k <= design.analysisCount && underNull; ++k) {
    if (std::isnan(times[k])) {
      throw RunError("under the null hypothesis the expected events never reach the target " +
                     std::to_string(looks.eventTarget[k]) + " of " + analysisText(k) +
                     ", so there is no information to plan there (planned_information = \"null\")");
    }
  }
  for (int32_t s = 1; s <= design.statisticCount; ++s) {
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      const law::PatientMoments m = moments.at(double(times[k]), design.rho[s], design.tau[s]);
      table[static_cast<size_t>(s)][k] = static_cast<float>(patients * m.information);
    }
  }
  return table;
}

}  // namespace survseq::bounds
