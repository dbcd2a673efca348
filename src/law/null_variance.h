#pragma once

#include "input/design_parameters.h"

// The original planned information: the expected null variance of a weighted log-rank
// score, with the event density taken as constant between the points of the control
// curve (the positional file's planning, kept for planned_information = "original").

namespace survseq::law {

// Expected null variance of the statistic (rho, tau) at each analysis time
// [1..analysisCount] for the given accrual rate.
void nullVariances(const input::DesignParameters& design, float accrualRate, float rho,
                   float tau, input::AnalysisValues& variances);

// Midpoint-rule integral over [a, b] of nullVarianceIntegrand(u) * min(D, T - u),
// with steps of 0.01 counted from a and a last partial step of its own width.
float integrateNullVariancePiece(const input::DesignParameters& design, float a, float b,
                                 float analysisTime, float accrualPeriod, float rho, float tau);

// The same rule over (x(n), T] beyond the last cut point of the baseline curve, with
// the curve's own density there: the integral of nullVarianceIntegrand(u) * f(u) *
// min(D, T - u), f(u) = lambda_n S(u). Zero when T is not after x(n).
float integrateNullVarianceTail(const input::DesignParameters& design, float analysisTime,
                                float accrualPeriod, float rho, float tau);

// The expected null variance of the statistic (rho, tau) at times[1..analysisCount].
// With one accrual piece and 1:1 allocation this is nullVariances at those times; else
// the same integral with the entered share G of the accrual pieces and the arm shares
// q0, q1 in place of 1/2 each:
//   V(T) = rate x accrualWeight x integral of f(u) w(u)^2 q0 q1 a b / (q0 a + q1 b) G(T - u) du,
// f the baseline density as nullVariances takes it.
void plannedNullVariances(const input::DesignParameters& design, float rate, float rho, float tau,
                          const input::AnalysisValues& times, input::AnalysisValues& variances);

}  // namespace survseq::law
