#include "sim/trial_draws.h"

#include "input/accrual_profile.h"
#include "report/run_error.h"

namespace survseq::sim {

SplitGeneration::SplitGeneration(const input::DesignParameters& design)
    : design_(design),
      laws_(design),
      control_{controlPlan(design, laws_), {}, {}},
      treatment_{treatmentPlan(design, laws_), {}, {}} {
  const bool switches = design.dropInCount > 0 || design.dropOutCount > 0;
  const bool warns = laws_.hazardRatiosGiven && writesWarnings(laws_.hazardRatio);
  usesSplit_ = !(switches && warns) && cutsFor(control_) && cutsFor(treatment_);
}

std::optional<EventBeyondCut> SplitGeneration::cutUnder(Arm law, float t) const {
  if (law == Arm::Control) return EventBeyondCut::forCurve(laws_.baseline, t);
  if (laws_.hazardRatiosGiven) return EventBeyondCut::forHazardRatio(laws_.hazardRatio, t);
  return EventBeyondCut::forCurve(laws_.alternative, t);
}

bool SplitGeneration::cutsFor(ArmCuts& arm) const {
  const SwitchPoints& points = arm.plan.switchPoints;
  for (int32_t k = 1; k <= points.count; ++k) {
    std::optional<EventBeyondCut> own = cutUnder(arm.plan.arm, points.times[k]);
    std::optional<EventBeyondCut> switched = cutUnder(arm.plan.switchedTo, points.times[k]);
    if (!own || !switched) return false;
    arm.own.push_back(std::move(*own));
    arm.switched.push_back(std::move(*switched));
  }
  return true;
}

// generateTrial's walk over the switch points, with "event beyond the point" decided on u.
int32_t SplitGeneration::switchPointTaken(const ArmCuts& arm, float u,
                                          UniformGenerator& generator, int32_t& seed) const {
  const SwitchPoints& points = arm.plan.switchPoints;
  for (int32_t k = 1; k <= points.count; ++k) {
    if (arm.own[static_cast<size_t>(k - 1)].beyond(u) &&
        generator.nextUniform(seed) <= points.rates[k]) {
      return k;
    }
  }
  return 0;
}

void SplitGeneration::drawUniforms(int32_t subjectCount, UniformGenerator& generator,
                                   int32_t& seed, TrialDraws& draws) const {
  if (subjectCount > draws.capacity()) {
    throw RunError("a simulated trial needs more patients than its arrays can hold");
  }
  const int32_t controlCount = input::controlPatients(design_, subjectCount);
  for (int32_t j = 1; j <= subjectCount; ++j) {
    const ArmCuts& arm = j <= controlCount ? control_ : treatment_;
    const auto i = static_cast<size_t>(j - 1);
    draws.entry[i] = generator.nextUniform(seed);
    float u = generator.nextUniform(seed);
    const int32_t k = arm.plan.switchPoints.count > 0 ? switchPointTaken(arm, u, generator, seed) : 0;
    if (k > 0) {
      const EventBeyondCut& beyondSwitch = arm.switched[static_cast<size_t>(k - 1)];
      for (int32_t tries = 0; !beyondSwitch.beyond(u); ++tries) {
        if (tries == kMaxSwitchDraws) {
          throw RunError(switchGivenUp(arm.plan.switchPoints, k), arm.plan.switchPoints.timesLine);
        }
        u = generator.nextUniform(seed);
      }
    }
    draws.event[i] = u;
    draws.switched[i] = k > 0 ? 1 : 0;
    draws.censoring[i] = generator.nextUniform(seed);
  }
}

void SplitGeneration::patientsFromUniforms(int32_t subjectCount, const TrialDraws& draws,
                                           SimulatedTrial& trial, std::ostream& report) const {
  const int32_t controlCount = input::controlPatients(design_, subjectCount);
  for (int32_t j = 1; j <= subjectCount; ++j) {
    const ArmPlan& plan = j <= controlCount ? control_.plan : treatment_.plan;
    const auto i = static_cast<size_t>(j - 1);
    trial.entryTime[i] = entryTimeAt(design_, draws.entry[i]);
    trial.eventTime[i] =
        eventTimeUnder(draws.switched[i] != 0 ? plan.switchedTo : plan.arm, laws_, draws.event[i],
                       report);
    trial.censoringTime[i] = timeAtSurvival(plan.censoring, draws.censoring[i]);
    trial.group[i] = plan.groupCode;
  }
}

}  // namespace survseq::sim
