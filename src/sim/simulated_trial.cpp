#include "sim/simulated_trial.h"

#include "input/accrual_profile.h"
#include "report/run_error.h"
#include "sim/trial_laws.h"

namespace survseq::sim {

namespace {

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
  const ArmPlan control = controlPlan(design, laws);
  const ArmPlan treatment = treatmentPlan(design, laws);
  // Allocation by position: the first round(N / (1 + r)) patients, halves rounded down
  // (half of them with r = 1), are the control arm.
  const int32_t controlCount = input::controlPatients(design, subjectCount);
  for (int32_t j = 1; j <= subjectCount; ++j) {
    drawPatient(laws, design, j <= controlCount ? control : treatment,
                static_cast<size_t>(j - 1), generator, seed, trial, report);
  }
}

}  // namespace survseq::sim
