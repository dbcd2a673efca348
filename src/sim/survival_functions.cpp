#include "sim/survival_functions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <sstream>

#include "report/output_line.h"
#include "sim/probability_powers.h"

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

// S(t); the hazard of interval i is hazardOf(i).
template <class HazardOf>
float survivalAtWith(const input::SurvivalCurve& curve, float t, HazardOf hazardOf) {
  if (t <= curve.x[0]) {
    return 1.0f;
  }
  const int n = curve.count;
  for (int i = 1; i <= n; ++i) {
    if (t <= curve.x[i]) {
      return decayFrom(curve, i - 1, hazardOf(i), t);
    }
  }
  // Beyond the last point the last interval's hazard goes on.
  return decayFrom(curve, n, hazardOf(n), t);
}

// The walk of the inversion of u over the curve's pieces: `atOne` for u >= 1, `atZero` for
// u <= 0, else onPiece(i) for the first usable interval i with u >= s[i] (1..n), or
// onPiece(n + 1) below every usable interval. The time and the piece share it.
template <class Result, class OnPiece>
Result walkInversion(const input::SurvivalCurve& curve, float u, Result atOne, Result atZero,
                     OnPiece onPiece) {
  if (u >= 1.0f) {
    return atOne;
  }
  if (u <= 0.0f) {
    return atZero;
  }
  const int n = curve.count;
  for (int i = 1; i <= n; ++i) {
    const float drop = curve.s[i - 1] - curve.s[i];
    if (drop >= kMinimumDrop && u >= curve.s[i]) {
      return onPiece(i);
    }
  }
  return onPiece(n + 1);
}

// S(t) = u solved for t; the hazard of interval i is hazardOf(i).
template <class HazardOf>
float timeAtSurvivalWith(const input::SurvivalCurve& curve, float u, HazardOf hazardOf) {
  const int n = curve.count;
  // Every curve stays positive, so a survival of 0 is never reached. Answering this
  // directly also keeps ln(0) away from a zero or negative hazard, where the formula
  // would give NaN or -infinity instead.
  return walkInversion(curve, u, curve.x[0], kNeverReached, [&](int i) {
    // Below every usable interval: extrapolate with the last interval's hazard, even if
    // that interval is flat (then the time is +infinity: never reached).
    return i <= n ? timeFrom(curve, i - 1, hazardOf(i), u) : timeFrom(curve, n, hazardOf(n), u);
  });
}

// The walk of the hazard-ratio inversion over the ratio's intervals for u < 1: onTarget(k, q)
// for the first interval k whose power q of u / P_k passes the baseline survival at the
// cut, else onTarget(lastInterval + 1, u / P beyond); the warnings of the intervals passed
// go to `report` unless it is null.
template <class OnTarget>
auto walkHazardRatios(const HazardRatioLaw& law, float u, std::ostream* report,
                      OnTarget onTarget) {
  for (int k = 1;; ++k) {
    // With P = 1, u / P is u itself, a single-precision probability.
    const float p = law.p[k];
    const double power = p == 1.0f ? powerOfProbability(u, law.exponent[k])
                                   : std::pow(double(u) / double(p), law.exponent[k]);
    const auto q = static_cast<float>(power);
    if (q >= law.survivalAtCut[k]) {
      return onTarget(k, q);
    }
    if (law.survivalAtCut[k] < kSmallProbability && report != nullptr) {
      report::writePlainLine(*report, {"tmpp too small"});
    }
    if (p < kSmallProbability && report != nullptr) {
      report::writePlainLine(*report, {"rmlp too small"});
    }
    if (k == law.lastInterval) {
      // u = 0 must stay 0 even if P has degenerated to 0 or NaN: it is never reached.
      return onTarget(k + 1,
                      u <= 0.0f ? 0.0f : static_cast<float>(double(u) / double(law.pBeyond)));
    }
  }
}

}  // namespace

float intervalHazard(const input::SurvivalCurve& curve, int i) {
  return static_cast<float>((std::log(double(curve.s[i - 1])) - std::log(double(curve.s[i]))) /
                            (double(curve.x[i]) - double(curve.x[i - 1])));
}

float survivalAt(const input::SurvivalCurve& curve, float t) {
  return survivalAtWith(curve, t, [&curve](int i) { return intervalHazard(curve, i); });
}

float survivalAt(const CurveHazards& curve, float t) {
  return survivalAtWith(*curve.curve, t, [&curve](int i) { return curve.hazard[i]; });
}

float timeAtSurvival(const input::SurvivalCurve& curve, float u) {
  return timeAtSurvivalWith(curve, u, [&curve](int i) { return intervalHazard(curve, i); });
}

float timeAtSurvival(const CurveHazards& curve, float u) {
  return timeAtSurvivalWith(*curve.curve, u, [&curve](int i) { return curve.hazard[i]; });
}

int inversionPiece(const input::SurvivalCurve& curve, float u) {
  return walkInversion(curve, u, 0, curve.count + 2, [](int i) { return i; });
}

CurveHazards withHazards(const input::SurvivalCurve& curve) {
  CurveHazards prepared{&curve, {}};
  for (int i = 1; i <= curve.count; ++i) prepared.hazard[i] = intervalHazard(curve, i);
  return prepared;
}

// On (T[k-1], T[k]] the treatment survival is S1(t) = P_k * S0(t)^HR[k], where P_k
// carries the survival accumulated on the earlier intervals so that S1 is continuous at
// the cuts: P_(k+1) = P_k * S0(T[k])^(HR[k] - HR[k+1]). Beyond the last cut the ratio is
// 1, so S1 = P * S0 there. None of this depends on u; the walk over the intervals does.
HazardRatioLaw hazardRatioLaw(const input::DesignParameters& design) {
  HazardRatioLaw law{withHazards(design.baselineCurve), std::max(design.hazardRatioCount, 1),
                     {}, {}, {}, 0.0f};
  const int m = design.hazardRatioCount;
  float p = 1.0f;
  for (int k = 1; k <= law.lastInterval; ++k) {
    law.exponent[k] = 1.0 / double(design.hazardRatios[k]);
    law.survivalAtCut[k] = survivalAt(design.baselineCurve, design.hazardRatioCuts[k]);
    law.p[k] = p;
    if (k < law.lastInterval) {
      p = static_cast<float>(double(p) * std::pow(double(law.survivalAtCut[k]),
                                                   double(design.hazardRatios[k]) -
                                                       double(design.hazardRatios[k + 1])));
    }
  }
  law.pBeyond = static_cast<float>(
      double(p) * std::pow(double(law.survivalAtCut[law.lastInterval]),
                           double(design.hazardRatios[m]) - 1.0));
  return law;
}

float hazardRatioTimeAtSurvival(const input::DesignParameters& design, float u,
                                std::ostream& report) {
  return hazardRatioTimeAtSurvival(hazardRatioLaw(design), u, report);
}

float hazardRatioTimeAtSurvival(const HazardRatioLaw& law, float u, std::ostream& report) {
  if (u >= 1.0f) {
    return law.baseline.curve->x[0];
  }
  return walkHazardRatios(law, u, &report,
                          [&law](int, float q) { return timeAtSurvival(law.baseline, q); });
}

HazardRatioTarget hazardRatioTarget(const HazardRatioLaw& law, float u, std::ostream* report) {
  if (u >= 1.0f) {
    return {0, 1.0f};  // the baseline's first point, as the inversion gives for 1
  }
  return walkHazardRatios(law, u, report, [](int k, float q) { return HazardRatioTarget{k, q}; });
}

// A uniform writes the warnings of the intervals it passes, which are the first ones up to
// its own. With positive exponents the power of u / P_k grows with u, so u = 0 passes
// every interval any u passes and writes every warning any u can write.
bool writesWarnings(const HazardRatioLaw& law) {
  for (int k = 1; k <= law.lastInterval; ++k) {
    if (!(law.exponent[k] > 0.0)) return true;
  }
  std::ostringstream lines;
  hazardRatioTarget(law, 0.0f, &lines);
  return !lines.str().empty();
}

NullVarianceCurves::NullVarianceCurves(const input::DesignParameters& design)
    : baseline(withHazards(design.baselineCurve)),
      censoringControl(withHazards(design.censoringControl)),
      censoringTreatment(withHazards(design.censoringTreatment)) {}

float nullVarianceIntegrand(const NullVarianceCurves& curves, float t, float rho, float tau) {
  const float a = survivalAt(curves.censoringControl, t);
  const float b = survivalAt(curves.censoringTreatment, t);
  const float sum = a + b;
  if (sum < kMinimumCensoringSum) {
    return 0.0f;
  }
  // The weight S^rho (1-S)^tau of the statistic, squared, with the curve in place of
  // its estimate, times the harmonic-type factor a*b/(a+b) of the two arms at risk.
  const float s = survivalAt(curves.baseline, t);
  return static_cast<float>(powerOfProbability(s, 2.0 * double(rho)) *
                            powerOfComplement(s, 2.0 * double(tau)) * double(a) * double(b) /
                            double(sum));
}

}  // namespace survseq::sim
