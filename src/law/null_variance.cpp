#include "law/null_variance.h"

#include "input/accrual_profile.h"
#include "law/entry_integral.h"
#include "sim/survival_functions.h"

// The expected null variance of a weighted log-rank score at analysis time T is
//
//   V = (rate / 2) * integral over 0 <= u <= T of
//                      f(u) * nullVarianceIntegrand(u) * min(D, T - u) du,
//
// where f is the baseline event density and min(D, T - u) is the length of the part of
// the accrual period [0, D] from which a patient whose event comes u after entry has
// failed by T. Up to the last cut point x(n) of the baseline curve the density is taken
// as constant on each piece (the survival drop of the piece over its width); beyond it
// the curve goes on with the hazard lambda_n of its last interval, so there the density
// is lambda_n S(u). Each part is integrated by the midpoint rule with steps of 0.01
// counted from the start of the part.

namespace survseq::law {

namespace {

constexpr float kIntegrationStep = 0.01f;
constexpr float kHalfIntegrationStep = 0.005f;

// min(D, T - u), written with the point L = T - D at which it starts to fall.
float entryWindow(float u, float fallStart, float analysisTime, float accrualPeriod) {
  return u <= fallStart ? accrualPeriod : analysisTime - u;
}

// Midpoint rule over [a, b] of weight(u) * min(D, T - u): full steps counted from a, so
// the grid restarts on every part, then the rest of [a, b] as one step of its own
// width. Each step's term is formed in double and the sum held in single precision.
template <typename Weight>
float integrateMidpoints(float a, float b, float analysisTime, float accrualPeriod,
                         const Weight& weight) {
  const float fallStart = analysisTime - accrualPeriod;
  const auto integrand = [&](float u) {
    return weight(u) * double(entryWindow(u, fallStart, analysisTime, accrualPeriod));
  };

  float sum = 0.0f;
  float stepEnd = a + kIntegrationStep;
  float midpoint = a + kHalfIntegrationStep;
  while (stepEnd <= b) {
    sum = static_cast<float>(double(sum) + integrand(midpoint) * double(kIntegrationStep));
    stepEnd += kIntegrationStep;
    midpoint += kIntegrationStep;
  }

  const float restStart = stepEnd - kIntegrationStep;
  const float restMidpoint = static_cast<float>((double(restStart) + double(b)) / 2.0);
  return static_cast<float>(double(sum) +
                            integrand(restMidpoint) * (double(b) - double(restStart)));
}

// The baseline event density as nullVariances takes it: the survival drop of a piece over
// its width up to the last point, the last interval's hazard times S beyond it.
double nullDensity(const sim::CurveHazards& baseline, double u) {
  const input::SurvivalCurve& curve = *baseline.curve;
  for (int32_t p = 1; p <= curve.count; ++p) {
    if (u <= double(curve.x[p])) {
      return (double(curve.s[p - 1]) - double(curve.s[p])) /
             (double(curve.x[p]) - double(curve.x[p - 1]));
    }
  }
  return hazardAt(baseline, u) * double(sim::survivalAt(baseline, static_cast<float>(u)));
}

double generalNullVariance(const input::DesignParameters& design, float rate, float rho, float tau,
                           double time) {
  const sim::NullVarianceCurves curves(design);
  const double q0 = input::controlShare(design);
  const double q1 = input::treatmentShare(design);
  const auto integrand = [&](double u) {
    const auto t = static_cast<float>(u);
    // nullVarianceIntegrand holds w^2 a b / (a + b), the 1:1 form.
    const double equalShares = double(sim::nullVarianceIntegrand(curves, t, rho, tau));
    if (equalShares == 0.0) return 0.0;
    const double a = double(sim::survivalAt(curves.censoringControl, t));
    const double b = double(sim::survivalAt(curves.censoringTreatment, t));
    return nullDensity(curves.baseline, u) * equalShares * q0 * q1 * (a + b) / (q0 * a + q1 * b);
  };
  const double integral =
      integrateOverEntries(design, time, controlAndCensoringCuts(design), integrand);
  return double(rate) * input::accrualWeight(design) * integral;
}

}  // namespace

float integrateNullVariancePiece(const input::DesignParameters& design, float a, float b,
                                 float analysisTime, float accrualPeriod, float rho, float tau) {
  const sim::NullVarianceCurves curves(design);
  return integrateMidpoints(a, b, analysisTime, accrualPeriod, [&](float u) {
    return double(sim::nullVarianceIntegrand(curves, u, rho, tau));
  });
}

float integrateNullVarianceTail(const input::DesignParameters& design, float analysisTime,
                                float accrualPeriod, float rho, float tau) {
  const input::SurvivalCurve& baseline = design.baselineCurve;
  const float lastCut = baseline.x[baseline.count];
  if (!(analysisTime > lastCut)) return 0.0f;
  const float lastHazard = sim::intervalHazard(baseline, baseline.count);
  const sim::NullVarianceCurves curves(design);
  return integrateMidpoints(lastCut, analysisTime, analysisTime, accrualPeriod, [&](float u) {
    const float density =
        static_cast<float>(double(lastHazard) * double(sim::survivalAt(baseline, u)));
    return double(sim::nullVarianceIntegrand(curves, u, rho, tau)) * double(density);
  });
}

void nullVariances(const input::DesignParameters& design, float accrualRate, float rho,
                   float tau, input::AnalysisValues& variances) {
  const input::SurvivalCurve& baseline = design.baselineCurve;
  for (int32_t i = 1; i <= design.analysisCount; ++i) {
    const float analysisTime = design.analysisTimes[i];
    float variance = 0.0f;
    bool endsBeforeAnalysis = true;
    for (int32_t p = 1; p <= baseline.count && endsBeforeAnalysis; ++p) {
      const float eventDensity = static_cast<float>(
          (double(baseline.s[p - 1]) - double(baseline.s[p])) /
          (double(baseline.x[p]) - double(baseline.x[p - 1])));
      // Events after the analysis time do not count.
      endsBeforeAnalysis = baseline.x[p] < analysisTime;
      const float pieceEnd = endsBeforeAnalysis ? baseline.x[p] : analysisTime;
      variance = static_cast<float>(
          double(variance) +
          double(eventDensity) * double(integrateNullVariancePiece(design, baseline.x[p - 1],
                                                                   pieceEnd, analysisTime,
                                                                   design.accrualPeriod, rho,
                                                                   tau)));
    }
    if (endsBeforeAnalysis) {  // events after the last cut point, up to the analysis
      variance = static_cast<float>(
          double(variance) + double(integrateNullVarianceTail(design, analysisTime,
                                                              design.accrualPeriod, rho, tau)));
    }
    variances[i] = static_cast<float>(double(variance) / 2.0 * double(accrualRate));
  }
}

void plannedNullVariances(const input::DesignParameters& design, float rate, float rho, float tau,
                          const input::AnalysisValues& times, input::AnalysisValues& variances) {
  if (design.accrualPieceCount == 0 && design.allocationRatio == 1.0f) {
    if (times == design.analysisTimes) {
      nullVariances(design, rate, rho, tau, variances);
      return;
    }
    input::DesignParameters atTimes = design;
    atTimes.analysisTimes = times;
    nullVariances(atTimes, rate, rho, tau, variances);
    return;
  }
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    variances[k] = static_cast<float>(generalNullVariance(design, rate, rho, tau, double(times[k])));
  }
}

}  // namespace survseq::law
