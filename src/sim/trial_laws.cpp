#include "sim/trial_laws.h"

#include "input/accrual_profile.h"
#include "report/message_text.h"

namespace survseq::sim {

namespace {

constexpr int32_t kDropInTimesLine = 142;
constexpr int32_t kDropOutTimesLine = 150;

}  // namespace

TrialLaws::TrialLaws(const input::DesignParameters& design)
    : baseline(withHazards(design.baselineCurve)),
      alternative(withHazards(design.alternativeCurve)),
      censoringControl(withHazards(design.censoringControl)),
      censoringTreatment(withHazards(design.censoringTreatment)),
      hazardRatiosGiven(input::hazardRatiosGiven(design)),
      hazardRatio(hazardRatiosGiven ? hazardRatioLaw(design) : HazardRatioLaw{}) {}

float eventTimeUnder(Arm law, const TrialLaws& laws, float u, std::ostream& report) {
  if (law == Arm::Control) {
    return timeAtSurvival(laws.baseline, u);
  }
  if (laws.hazardRatiosGiven) {
    return hazardRatioTimeAtSurvival(laws.hazardRatio, u, report);
  }
  return timeAtSurvival(laws.alternative, u);
}

ArmPlan controlPlan(const input::DesignParameters& design, const TrialLaws& laws) {
  return {Arm::Control,
          Arm::Treatment,
          {design.dropInCount, design.dropInTimes, design.dropInRates, "drop-in",
           kDropInTimesLine},
          laws.censoringControl,
          0.0f};
}

ArmPlan treatmentPlan(const input::DesignParameters& design, const TrialLaws& laws) {
  return {Arm::Treatment,
          Arm::Control,
          {design.dropOutCount, design.dropOutTimes, design.dropOutRates, "drop-out",
           kDropOutTimesLine},
          laws.censoringTreatment,
          1.0f};
}

std::string switchGivenUp(const SwitchPoints& points, int32_t k) {
  return "no event time after the " + std::string(points.name) + " time " +
         report::numberText(points.times[k]) + " (point " + std::to_string(k) + ") in " +
         std::to_string(kMaxSwitchDraws) +
         " draws for one patient: the curve the patient switches to leaves almost no chance of "
         "an event after that time";
}

float entryTimeAt(const input::DesignParameters& design, float u) {
  if (design.accrualPieceCount == 0) {
    return static_cast<float>(double(u) * double(design.accrualPeriod));
  }
  return static_cast<float>(input::entryTimeAtShare(design, u));
}

}  // namespace survseq::sim
