#include "sim/simulated_trial.h"

#include <string>

#include "input/accrual_profile.h"
#include "report/message_text.h"
#include "report/run_error.h"
#include "sim/survival_functions.h"

namespace survseq::sim {

namespace {

enum class Arm { Control, Treatment };

// Draws one patient's switch may take before the run gives up on the design: a curve
// can leave a vanishing chance of an event beyond a late switch point.
constexpr int32_t kMaxSwitchDraws = 1'000'000;
constexpr int32_t kDropInTimesLine = 142;
constexpr int32_t kDropOutTimesLine = 150;

// The curves of the design with what does not change from patient to patient worked
// out once per trial: the hazards of their intervals and the constants of the
// hazard-ratio alternative.
struct TrialLaws {
  explicit TrialLaws(const input::DesignParameters& design)
      : baseline(withHazards(design.baselineCurve)),
        alternative(withHazards(design.alternativeCurve)),
        censoringControl(withHazards(design.censoringControl)),
        censoringTreatment(withHazards(design.censoringTreatment)),
        hazardRatiosGiven(input::hazardRatiosGiven(design)),
        hazardRatio(hazardRatiosGiven ? hazardRatioLaw(design) : HazardRatioLaw{}) {}

  CurveHazards baseline;
  CurveHazards alternative;
  CurveHazards censoringControl;
  CurveHazards censoringTreatment;
  bool hazardRatiosGiven;
  HazardRatioLaw hazardRatio;
};

// The event-time law of an arm, inverted at the uniform u.
float eventTimeUnder(Arm law, const TrialLaws& laws, float u, std::ostream& report) {
  if (law == Arm::Control) {
    return timeAtSurvival(laws.baseline, u);
  }
  if (laws.hazardRatiosGiven) {
    return hazardRatioTimeAtSurvival(laws.hazardRatio, u, report);
  }
  return timeAtSurvival(laws.alternative, u);
}

// The switch points of one arm: drop-in for control, drop-out for treatment.
struct SwitchPoints {
  int32_t count;
  const input::DropPointValues& times;
  const input::DropPointValues& rates;
  const char* name;  // "drop-in" or "drop-out"
  int32_t timesLine;  // the line of the parameter file that gives the times
};

// Walks the switch points in order; each point the patient passes before the event
// costs one draw, and the rate is the chance of switching there given no event and no
// earlier switch. Returns the point taken, or 0.
int32_t switchPointTaken(const SwitchPoints& points, float eventTime, UniformGenerator& generator,
                         int32_t& seed) {
  for (int32_t k = 1; k <= points.count; ++k) {
    if (eventTime > points.times[k] && generator.nextUniform(seed) <= points.rates[k]) {
      return k;
    }
  }
  return 0;
}

std::string switchGivenUp(const SwitchPoints& points, int32_t k) {
  return "no event time after the " + std::string(points.name) + " time " +
         report::numberText(points.times[k]) + " (point " + std::to_string(k) + ") in " +
         std::to_string(kMaxSwitchDraws) +
         " draws for one patient: the curve the patient switches to leaves almost no chance of "
         "an event after that time";
}

struct ArmPlan {
  Arm arm;
  Arm switchedTo;
  SwitchPoints switchPoints;
  const CurveHazards& censoring;
  float groupCode;
};

// The entry time at the uniform u: u x the accrual period for the single piece, else the
// inverse of the piecewise-uniform entry law at u, which is the same for one piece.
float entryTimeAt(const input::DesignParameters& design, float u) {
  if (design.accrualPieceCount == 0) {
    return static_cast<float>(double(u) * double(design.accrualPeriod));
  }
  return static_cast<float>(input::entryTimeAtShare(design, u));
}

// Draws patient `index` (0-based) of the given arm: entry, event, switch check (with
// the rejection loop of a switch), censoring - in exactly this order of draws.
void drawPatient(const TrialLaws& laws, const input::DesignParameters& design,
                 const ArmPlan& plan, size_t index, UniformGenerator& generator, int32_t& seed,
                 SimulatedTrial& trial, std::ostream& report) {
  trial.entryTime[index] = entryTimeAt(design, generator.nextUniform(seed));
  float u = generator.nextUniform(seed);
  float eventTime = eventTimeUnder(plan.arm, laws, u, report);

  const int32_t k = switchPointTaken(plan.switchPoints, eventTime, generator, seed);
  if (k > 0) {
    // The first attempt reuses u, coupling the two laws through one uniform; later
    // attempts reject times not beyond the switch, so the new law is taken conditional
    // on no event before the switch. A uniform of 0 gives an infinite time, so the
    // loop has a way out, but it may be too rare to wait for.
    const float switchTime = plan.switchPoints.times[k];
    for (int32_t draws = 0;; ++draws) {
      eventTime = eventTimeUnder(plan.switchedTo, laws, u, report);
      if (eventTime > switchTime) {
        break;
      }
      if (draws == kMaxSwitchDraws) {
        throw RunError(switchGivenUp(plan.switchPoints, k), plan.switchPoints.timesLine);
      }
      u = generator.nextUniform(seed);
    }
  }
  trial.eventTime[index] = eventTime;
  trial.censoringTime[index] = timeAtSurvival(plan.censoring, generator.nextUniform(seed));
  trial.group[index] = plan.groupCode;
}

}  // namespace

void generateTrial(const input::DesignParameters& design, int32_t subjectCount,
                   UniformGenerator& generator, int32_t& seed, SimulatedTrial& trial,
                   std::ostream& report) {
  if (subjectCount > trial.capacity()) {
    throw RunError("a simulated trial needs more patients than its arrays can hold");
  }
  const TrialLaws laws(design);
  const ArmPlan control{Arm::Control,
                        Arm::Treatment,
                        {design.dropInCount, design.dropInTimes, design.dropInRates, "drop-in",
                         kDropInTimesLine},
                        laws.censoringControl,
                        0.0f};
  const ArmPlan treatment{Arm::Treatment,
                          Arm::Control,
                          {design.dropOutCount, design.dropOutTimes, design.dropOutRates,
                           "drop-out", kDropOutTimesLine},
                          laws.censoringTreatment,
                          1.0f};
  // Allocation by position: the first round(N / (1 + r)) patients, halves rounded down
  // (half of them with r = 1), are the control arm.
  const int32_t controlCount = input::controlPatients(design, subjectCount);
  for (int32_t j = 1; j <= subjectCount; ++j) {
    drawPatient(laws, design, j <= controlCount ? control : treatment,
                static_cast<size_t>(j - 1), generator, seed, trial, report);
  }
}

}  // namespace survseq::sim
