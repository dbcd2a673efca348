#pragma once

#include "input/design_parameters.h"

namespace survseq::bounds {

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

}  // namespace survseq::bounds
