#pragma once

// Integrals over the time from entry to a calendar time T, weighted by the share of the
// patients who have entered early enough: the form of the original planned null variance
// under any accrual pieces and allocation (null_variance.h).

#include <functional>
#include <vector>

#include "input/design_parameters.h"
#include "sim/survival_functions.h"

namespace survseq::law {

// integral over 0 <= u <= T of h(u) * G(T - u) du, where G is the share of the patients
// entered by a time (input::enrolledShareBy). `cuts` are the points where h may bend
// (curve points, hazard-ratio cuts); the integral is split there and at T minus the ends
// of the accrual pieces, and each part is taken by the 16-point Gauss-Legendre rule
// (panel_rule.h). Beyond the last such point the parts double in length, so a long tail
// costs few parts.
double integrateOverEntries(const input::DesignParameters& design, double time,
                            std::vector<double> cuts, const std::function<double(double)>& h);

// The points of a curve (x[1..count]) appended to `cuts`.
void appendCurveCuts(const input::SurvivalCurve& curve, std::vector<double>& cuts);

// The points of the control curve and of both censoring curves: where every integrand
// over the entries may bend.
std::vector<double> controlAndCensoringCuts(const input::DesignParameters& design);

// The hazard of a piecewise-exponential curve at t: that of the interval holding t, the
// last interval's beyond the last point.
double hazardAt(const sim::CurveHazards& curve, double t);

}  // namespace survseq::law
