#pragma once

// Whether the event time a uniform u inverts to lies beyond a time t, decided on the
// generator's residue that gives u without inverting it: the switch checks of a patient,
// which decide how many draws the patient takes from the stream, then cost a comparison.
//
// The set of u in [0, 1] with time(u) > t is found once per design by bisection over the
// single-precision numbers, on the time exactly as the simulation computes it, and kept as
// the residues where the answer flips (u = toUnitInterval(r) never decreases with r). The
// bisection is exact because the inversion is split into pieces on which it is monotone
// as computed, and each piece is searched on its own:
//  - the piece that serves u (the curve's interval, and for hazard ratios the ratio's
//    interval before it) never increases as u grows, so each piece is a run of
//    consecutive numbers and its end is found by bisection;
//  - on one piece the time is x - ln(v / s) / lambda with lambda > 0 (checked) and
//    v = u, u / P or (u / P)^(1 / HR) rounded to single precision (u >= 1e-9 unless 0).
//    Two different such v differ by a factor of at least 1 + 2^-24, and so do their
//    quotients by s, so their logarithms differ by far more than the error of glibc's log
//    (within 1 ulp); likewise the powers of two different u / P, with 1 / HR >= 1e-6, for
//    glibc's pow. The divisions, the subtraction and the rounding to single precision,
//    each correctly rounded, keep the order. So the computed time never
//    increases as u grows within a piece, and "time > t" holds on a first run of it.
// A law for which this argument does not hold (a hazard of the inversion not positive and
// finite, a degenerate ratio law, one that writes warnings) gets no cut.

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/survival_functions.h"

namespace survseq::sim {

class EventBeyondCut {
 public:
  // time(u) = timeAtSurvival(curve, u).
  static std::optional<EventBeyondCut> forCurve(const CurveHazards& curve, float t);
  // time(u) = hazardRatioTimeAtSurvival(law, u, ...).
  static std::optional<EventBeyondCut> forHazardRatio(const HazardRatioLaw& law, float t);

  // time(toUnitInterval(residue)) > t.
  bool beyond(int32_t residue) const {
    if (single_) return residue < belowResidue_;
    bool answer = atZero_;
    for (const int32_t flip : flips_) {
      if (residue < flip) break;
      answer = !answer;
    }
    return answer;
  }

 private:
  // Fills the flips from those over the single-precision numbers.
  void setFlips(bool atZero, const std::vector<float>& numbers);

  bool atZero_ = true;
  std::vector<int32_t> flips_;  // increasing residues: the answer changes at each
  // The usual case, beyond exactly below one residue.
  bool single_ = false;
  int32_t belowResidue_ = 0;
};

}  // namespace survseq::sim
