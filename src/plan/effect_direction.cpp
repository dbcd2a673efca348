#include "plan/effect_direction.h"

#include <cmath>

#include "law/expected_moments.h"

namespace survseq::plan {

namespace {

// A drift this small against the root of the information moves Z by less than 0.01 even
// with the largest trial (10,000,000 patients): its sign says nothing.
constexpr double kNegligibleDrift = 3e-6;

bool sameCurve(const input::SurvivalCurve& a, const input::SurvivalCurve& b) {
  if (a.count != b.count) return false;
  for (int32_t i = 1; i <= a.count; ++i) {
    const auto at = static_cast<size_t>(i);
    if (a.x[at] != b.x[at] || a.s[at] != b.s[at]) return false;
  }
  return true;
}

bool armsAreEqual(const input::DesignParameters& design) {
  if (!input::hazardRatiosGiven(design)) {
    return sameCurve(design.alternativeCurve, design.baselineCurve);
  }
  for (int32_t i = 1; i <= design.hazardRatioCount; ++i) {
    if (design.hazardRatios[static_cast<size_t>(i)] != 1.0f) return false;
  }
  return true;
}

}  // namespace

EffectFault effectFault(const input::DesignParameters& design) {
  if (design.analysisTiming == input::AnalysisTiming::FixedEvents) return EffectFault::None;
  if (armsAreEqual(design)) return EffectFault::NoEffect;
  if (design.sides != 1) return EffectFault::None;
  // Harm at the last look, and benefit at none before it that an interim look could find.
  const law::ExpectedMoments integrator(design, law::Hypothesis::Alternative);
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    const double time = design.analysisTimes[static_cast<size_t>(k)];
    if (!(time > 0.0)) continue;
    const law::PatientMoments moments = integrator.at(time, design.rho[1], design.tau[1]);
    const double negligible = kNegligibleDrift * std::sqrt(moments.information);
    if (moments.drift > negligible) return EffectFault::None;  // a look that sees benefit
    if (k == design.analysisCount && moments.drift >= -negligible) return EffectFault::None;
  }
  return EffectFault::OtherDirection;
}

std::string effectFaultWords(EffectFault fault) {
  switch (fault) {
    case EffectFault::NoEffect:
      return "no effect";
    case EffectFault::OtherDirection:
      return "an effect in the other direction than the one-sided test looks for";
    case EffectFault::None:
      break;
  }
  return "";
}

std::string effectFaultText(EffectFault fault) {
  switch (fault) {
    case EffectFault::NoEffect:
      return "no effect: the treatment arm has the control arm's hazard at every time (the "
             "alternative is the null hypothesis), so no number of patients reaches the "
             "desired power";
    case EffectFault::OtherDirection:
      return "an effect in the other direction than the one-sided test looks for: the "
             "treatment arm is expected to have more events than the control arm (harm), and "
             "a one-sided test rejects only for fewer (benefit), so no number of patients "
             "reaches the desired power";
    case EffectFault::None:
      break;
  }
  return "";
}

}  // namespace survseq::plan
