#pragma once

// What the draws of a patient are turned into: the curves of the design with what does
// not change from patient to patient worked out once, the two arms with their switch
// points (drop-in for control, drop-out for treatment), and the inversions of a uniform
// into an entry time and an event time. Shared by the straightforward generation of a
// trial and the one split between the stream and the other threads.

#include <cstdint>
#include <iosfwd>
#include <string>

#include "input/design_parameters.h"
#include "sim/survival_functions.h"

namespace survseq::sim {

enum class Arm { Control, Treatment };

// Draws one patient's switch may take before the run gives up on the design: a curve
// can leave a vanishing chance of an event beyond a late switch point.
inline constexpr int32_t kMaxSwitchDraws = 1'000'000;

struct TrialLaws {
  explicit TrialLaws(const input::DesignParameters& design);

  CurveHazards baseline;
  CurveHazards alternative;
  CurveHazards censoringControl;
  CurveHazards censoringTreatment;
  bool hazardRatiosGiven;
  HazardRatioLaw hazardRatio;
};

// The event-time law of an arm, inverted at the uniform u.
float eventTimeUnder(Arm law, const TrialLaws& laws, float u, std::ostream& report);

// The switch points of one arm: drop-in for control, drop-out for treatment.
struct SwitchPoints {
  int32_t count;
  const input::DropPointValues& times;
  const input::DropPointValues& rates;
  const char* name;   // "drop-in" or "drop-out"
  int32_t timesLine;  // the line of the parameter file that gives the times
};

struct ArmPlan {
  Arm arm;
  Arm switchedTo;
  SwitchPoints switchPoints;
  const CurveHazards& censoring;
  float groupCode;
};

ArmPlan controlPlan(const input::DesignParameters& design, const TrialLaws& laws);
ArmPlan treatmentPlan(const input::DesignParameters& design, const TrialLaws& laws);

// The message of the run that gives up on a switch at point k.
std::string switchGivenUp(const SwitchPoints& points, int32_t k);

// The entry time at the uniform u: u x the accrual period for the single piece, else the
// inverse of the piecewise-uniform entry law at u, which is the same for one piece.
float entryTimeAt(const input::DesignParameters& design, float u);

}  // namespace survseq::sim
