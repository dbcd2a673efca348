#include "sim/trial_draws.h"

#include <cmath>
#include <limits>

#include "input/accrual_profile.h"
#include "report/run_error.h"

namespace survseq::sim {

SplitGeneration::SplitGeneration(const input::DesignParameters& design)
    : design_(design),
      laws_(design),
      control_{controlPlan(design, laws_), {}, {}, {}},
      treatment_{treatmentPlan(design, laws_), {}, {}, {}} {
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
    // A draw switches when its number is at most the rate: below the first residue whose
    // number passes the rate. A rate that is not a number never switches.
    const float rate = points.rates[k];
    const float aboveRate = std::nextafter(rate, std::numeric_limits<float>::infinity());
    arm.switchBelow.push_back(std::isnan(rate) ? 0 : UniformGenerator::residueFrom(aboveRate));
  }
  return true;
}

// generateTrial's walk over the switch points, with "event beyond the point" decided on
// the draw.
inline int32_t SplitGeneration::switchPointTaken(const ArmCuts& arm, int32_t eventDraw,
                                                 UniformGenerator::Run& run) const {
  const int32_t count = arm.plan.switchPoints.count;
  for (int32_t k = 1; k <= count; ++k) {
    const auto i = static_cast<size_t>(k - 1);
    if (arm.own[i].beyond(eventDraw) && run.next() < arm.switchBelow[i]) {
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
  if (subjectCount < 1) return;
  // The first draw restarts a new generator or a negative seed; the others are a run.
  const int32_t firstDraw = generator.nextResidue(seed);
  UniformGenerator::Run run(generator);
  const int32_t controlCount = input::controlPatients(design_, subjectCount);
  for (int32_t j = 1; j <= subjectCount; ++j) {
    const ArmCuts& arm = j <= controlCount ? control_ : treatment_;
    const auto i = static_cast<size_t>(j - 1);
    draws.entry[i] = j == 1 ? firstDraw : run.next();
    int32_t eventDraw = run.next();
    const int32_t k = switchPointTaken(arm, eventDraw, run);
    if (k > 0) {
      const EventBeyondCut& beyondSwitch = arm.switched[static_cast<size_t>(k - 1)];
      for (int32_t tries = 0; !beyondSwitch.beyond(eventDraw); ++tries) {
        if (tries == kMaxSwitchDraws) {
          throw RunError(switchGivenUp(arm.plan.switchPoints, k), arm.plan.switchPoints.timesLine);
        }
        eventDraw = run.next();
      }
    }
    draws.event[i] = eventDraw;
    draws.switched[i] = k > 0 ? 1 : 0;
    draws.censoring[i] = run.next();
  }
}

void SplitGeneration::patientsFromUniforms(int32_t subjectCount, const TrialDraws& draws,
                                           SimulatedTrial& trial, std::ostream& report) const {
  const int32_t controlCount = input::controlPatients(design_, subjectCount);
  for (int32_t j = 1; j <= subjectCount; ++j) {
    const ArmPlan& plan = j <= controlCount ? control_.plan : treatment_.plan;
    const auto i = static_cast<size_t>(j - 1);
    trial.entryTime[i] = entryTimeAt(design_, UniformGenerator::toUnitInterval(draws.entry[i]));
    trial.eventTime[i] = eventTimeUnder(draws.switched[i] != 0 ? plan.switchedTo : plan.arm, laws_,
                                        UniformGenerator::toUnitInterval(draws.event[i]), report);
    trial.censoringTime[i] =
        timeAtSurvival(plan.censoring, UniformGenerator::toUnitInterval(draws.censoring[i]));
    trial.group[i] = plan.groupCode;
  }
}

}  // namespace survseq::sim
