#pragma once

#include "bounds/score_subdensity.h"

namespace survseq::bounds {

struct BoundarySearchResult {
  float criticalValue = 0.0f;
  bool reached = false;  // false: the target lies beyond kBoundaryCap
};

// The point c >= 0 at which the integral from 0 to c of the last analysis's
// sub-density f(x) = propagatedDensity(previous, sigma, x) reaches `target`.
// The integral is accumulated by the trapezoid rule in steps of 0.005 up to
// kBoundaryCap; the crossing step is then refined with one interpolated trapezoid.
BoundarySearchResult searchCriticalValue(const ScoreSubDensity& previous, float sigma,
                                         float target);

}  // namespace survseq::bounds
