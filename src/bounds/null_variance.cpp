#include "bounds/null_variance.h"

#include "sim/survival_functions.h"

// The expected null variance of a weighted log-rank score at analysis time T is
//
//   V = (rate / 2) * integral over 0 <= u <= min(T, x(n)) of
//                      lambda(u) * nullVarianceIntegrand(u) * min(D, T - u) du,
//
// where lambda is the baseline event density, taken as constant on each piece of the
// baseline curve (the survival drop of the piece over its width), and min(D, T - u) is
// the length of the part of the accrual period [0, D] from which a patient whose event
// comes u after entry has failed by T.

namespace survseq::bounds {

namespace {

constexpr float kIntegrationStep = 0.01f;
constexpr float kHalfIntegrationStep = 0.005f;

// min(D, T - u), written with the point L = T - D at which it starts to fall.
float entryWindow(float u, float fallStart, float analysisTime, float accrualPeriod) {
  return u <= fallStart ? accrualPeriod : analysisTime - u;
}

}  // namespace

float integrateNullVariancePiece(const input::DesignParameters& design, float a, float b,
                                 float analysisTime, float accrualPeriod, float rho, float tau) {
  const float fallStart = analysisTime - accrualPeriod;
  const sim::NullVarianceCurves curves(design);
  const auto integrand = [&](float u) {
    return double(sim::nullVarianceIntegrand(curves, u, rho, tau)) *
           double(entryWindow(u, fallStart, analysisTime, accrualPeriod));
  };

  // Full steps counted from a, so the grid restarts on every piece.
  float sum = 0.0f;
  float stepEnd = a + kIntegrationStep;
  float midpoint = a + kHalfIntegrationStep;
  while (stepEnd <= b) {
    sum = static_cast<float>(double(sum) + integrand(midpoint) * double(kIntegrationStep));
    stepEnd += kIntegrationStep;
    midpoint += kIntegrationStep;
  }

  // The rest of the piece, as one step of its own width.
  const float restStart = stepEnd - kIntegrationStep;
  const float restMidpoint = static_cast<float>((double(restStart) + double(b)) / 2.0);
  return static_cast<float>(double(sum) +
                            integrand(restMidpoint) * (double(b) - double(restStart)));
}

void nullVariances(const input::DesignParameters& design, float accrualRate, float rho,
                   float tau, input::AnalysisValues& variances) {
  const input::SurvivalCurve& baseline = design.baselineCurve;
  for (int32_t i = 1; i <= design.analysisCount; ++i) {
    const float analysisTime = design.analysisTimes[i];
    float variance = 0.0f;
    for (int32_t p = 1; p <= baseline.count; ++p) {
      const float eventDensity = static_cast<float>(
          (double(baseline.s[p - 1]) - double(baseline.s[p])) /
          (double(baseline.x[p]) - double(baseline.x[p - 1])));
      // Events after the analysis time, or after the last cut point, do not count.
      const bool pieceEndsBefore = baseline.x[p] < analysisTime;
      const float pieceEnd = pieceEndsBefore ? baseline.x[p] : analysisTime;
      variance = static_cast<float>(
          double(variance) +
          double(eventDensity) * double(integrateNullVariancePiece(design, baseline.x[p - 1],
                                                                   pieceEnd, analysisTime,
                                                                   design.accrualPeriod, rho,
                                                                   tau)));
      if (!pieceEndsBefore) break;
    }
    variances[i] = static_cast<float>(double(variance) / 2.0 * double(accrualRate));
  }
}

}  // namespace survseq::bounds
