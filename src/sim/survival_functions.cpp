#include "sim/survival_functions.h"

#include <cmath>
#include <limits>
#include <ostream>

#include "report/output_line.h"

namespace survseq::sim {

namespace {

// An interval is usable for inversion only when the curve falls across it by at least
// this much; flatter (or rising) intervals would make the hazard vanish or change sign.
constexpr float kMinimumDrop = 1e-6f;
// Below this the hazard-ratio inversion has lost almost all precision in P or S0(T[k]).
constexpr float kSmallProbability = 1e-6f;
// Below this sum of the two censoring survivals nobody is left to contribute variance.
constexpr float kMinimumCensoringSum = 1e-5f;

constexpr float kNeverReached = std::numeric_limits<float>::infinity();

// Exponential decay from the point (x[i-1], s[i-1]) with hazard lambda.
float decayFrom(const input::SurvivalCurve& curve, int i, float lambda, float t) {
  return static_cast<float>(double(curve.s[i]) *
                            std::exp(-double(lambda) * (double(t) - double(curve.x[i]))));
}

// The time at which exponential decay from (x[i], s[i]) with hazard lambda reaches u.
// With lambda = 0 and u < s[i] the quotient is -inf / 0 = -inf, so the time is +inf.
float timeFrom(const input::SurvivalCurve& curve, int i, float lambda, float u) {
  return static_cast<float>(double(curve.x[i]) -
                            std::log(double(u) / double(curve.s[i])) / double(lambda));
}

}  // namespace

float intervalHazard(const input::SurvivalCurve& curve, int i) {
  return static_cast<float>((std::log(double(curve.s[i - 1])) - std::log(double(curve.s[i]))) /
                            (double(curve.x[i]) - double(curve.x[i - 1])));
}

float survivalAt(const input::SurvivalCurve& curve, float t) {
  if (t <= curve.x[0]) {
    return 1.0f;
  }
  const int n = curve.count;
  for (int i = 1; i <= n; ++i) {
    if (t <= curve.x[i]) {
      return decayFrom(curve, i - 1, intervalHazard(curve, i), t);
    }
  }
  // Beyond the last point the last interval's hazard goes on.
  return decayFrom(curve, n, intervalHazard(curve, n), t);
}

float timeAtSurvival(const input::SurvivalCurve& curve, float u) {
  if (u >= 1.0f) {
    return curve.x[0];
  }
  // Every curve stays positive, so a survival of 0 is never reached. Answering this
  // directly also keeps ln(0) away from a zero or negative hazard, where the formula
  // would give NaN or -infinity instead.
  if (u <= 0.0f) {
    return kNeverReached;
  }
  const int n = curve.count;
  for (int i = 1; i <= n; ++i) {
    const float drop = curve.s[i - 1] - curve.s[i];
    if (drop >= kMinimumDrop && u >= curve.s[i]) {
      return timeFrom(curve, i - 1, intervalHazard(curve, i), u);
    }
  }
  // Below every usable interval: extrapolate with the last interval's hazard, even if
  // that interval is flat (then the time is +infinity: never reached).
  return timeFrom(curve, n, intervalHazard(curve, n), u);
}

float hazardRatioTimeAtSurvival(const input::DesignParameters& design, float u,
                                std::ostream& report) {
  const input::SurvivalCurve& baseline = design.baselineCurve;
  if (u >= 1.0f) {
    return baseline.x[0];
  }
  // On (T[k-1], T[k]] the treatment survival is S1(t) = P_k * S0(t)^HR[k], where P_k
  // carries the survival accumulated on the earlier intervals so that S1 is continuous
  // at the cuts: P_(k+1) = P_k * S0(T[k])^(HR[k] - HR[k+1]). Beyond the last cut the
  // ratio is 1, so S1 = P * S0 there.
  const int m = design.hazardRatioCount;
  float p = 1.0f;
  for (int k = 1;; ++k) {
    const float q =
        static_cast<float>(std::pow(double(u) / double(p), 1.0 / double(design.hazardRatios[k])));
    const float survivalAtCut = survivalAt(baseline, design.hazardRatioCuts[k]);
    if (q >= survivalAtCut) {
      return timeAtSurvival(baseline, q);
    }
    if (survivalAtCut < kSmallProbability) {
      report::writePlainLine(report, {"tmpp too small"});
    }
    if (p < kSmallProbability) {
      report::writePlainLine(report, {"rmlp too small"});
    }
    if (k + 1 > m) {
      p = static_cast<float>(double(p) *
                             std::pow(double(survivalAtCut), double(design.hazardRatios[m]) - 1.0));
      // u = 0 must stay 0 even if P has degenerated to 0 or NaN: it is never reached.
      const float target = u <= 0.0f ? 0.0f : static_cast<float>(double(u) / double(p));
      return timeAtSurvival(baseline, target);
    }
    p = static_cast<float>(
        double(p) * std::pow(double(survivalAtCut),
                             double(design.hazardRatios[k]) - double(design.hazardRatios[k + 1])));
  }
}

float nullVarianceIntegrand(const input::DesignParameters& design, float t, float rho, float tau) {
  const float a = survivalAt(design.censoringControl, t);
  const float b = survivalAt(design.censoringTreatment, t);
  const float sum = a + b;
  if (sum < kMinimumCensoringSum) {
    return 0.0f;
  }
  // The weight S^rho (1-S)^tau of the statistic, squared, with the curve in place of
  // its estimate, times the harmonic-type factor a*b/(a+b) of the two arms at risk.
  const double s = survivalAt(design.baselineCurve, t);
  return static_cast<float>(std::pow(s, 2.0 * double(rho)) * std::pow(1.0 - s, 2.0 * double(tau)) *
                            double(a) * double(b) / double(sum));
}

}  // namespace survseq::sim
