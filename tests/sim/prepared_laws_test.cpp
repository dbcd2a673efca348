// The fast forms against the definitions, bit for bit: the curves and laws with their
// constants worked out once, and the powers of probabilities by shortcut.

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <sstream>

#include "build_kind.h"
#include "report/output_line.h"
#include "sim/probability_powers.h"
#include "sim/reference.h"
#include "sim/survival_functions.h"

namespace survseq::sim {
namespace {

// Probabilities as the generator gives them, and the ends and a few very small ones.
std::vector<float> probabilities() {
  std::vector<float> u{0.0f, 1.0f, 1e-9f, 2e-9f, 1e-7f, 0x1p-30f, 0x1p-31f, 0.5f};
  std::mt19937 rng(5);
  std::uniform_int_distribution<int32_t> residue(0, 999999999);
  for (int i = 0; i < 20000; ++i) u.push_back(static_cast<float>(double(residue(rng)) * 1e-9));
  return u;
}

TEST(PreparedLaws, CurvesWithTheirHazardsGiveTheDefinedTimesAndSurvivals) {
  for (const auto& c : {curve({0, 10}, {1, 0.5f}), curve({0, 6, 12, 24}, {1, 0.85f, 0.72f, 0.5f}),
                        curve({0, 5, 10}, {1, 0.5f, 0.5f}),            // flat at the end
                        curve({0, 5, 10, 15}, {1, 0.6f, 0.7f, 0.4f}),  // rising in the middle
                        curve({0, 1, 2}, {1, 1 - 1e-7f, 1e-5f}),       // a drop too small to use
                        curve({0, 24}, {1, 1})}) {                     // nobody lost
    const CurveHazards prepared = withHazards(c);
    for (float u : probabilities()) {
      ASSERT_TRUE(sameBits(timeAtSurvival(prepared, u), timeAtSurvival(c, u))) << u;
      ASSERT_TRUE(sameBits(survivalAt(prepared, u * 40), survivalAt(c, u * 40))) << u * 40;
    }
  }
}

// The hazard-ratio inversion as defined: every constant taken afresh.
float definedHazardRatioTime(const input::DesignParameters& d, float u, std::ostream& report) {
  if (u >= 1.0f) return d.baselineCurve.x[0];
  const int m = d.hazardRatioCount;
  float p = 1.0f;
  for (int k = 1;; ++k) {
    const float q = float(std::pow(double(u) / double(p), 1.0 / double(d.hazardRatios[k])));
    const float sT = survivalAt(d.baselineCurve, d.hazardRatioCuts[k]);
    if (q >= sT) return timeAtSurvival(d.baselineCurve, q);
    if (sT < 1e-6f) report::writePlainLine(report, {"tmpp too small"});
    if (p < 1e-6f) report::writePlainLine(report, {"rmlp too small"});
    if (k + 1 > m) {
      p = float(double(p) * std::pow(double(sT), double(d.hazardRatios[m]) - 1.0));
      return timeAtSurvival(d.baselineCurve, u <= 0.0f ? 0.0f : float(double(u) / double(p)));
    }
    p = float(double(p) *
              std::pow(double(sT), double(d.hazardRatios[k]) - double(d.hazardRatios[k + 1])));
  }
}

TEST(PreparedLaws, HazardRatioLawGivesTheDefinedTimesAndWarnings) {
  const auto base = curve({0, 10}, {1, 0.5f});
  const std::pair<input::SurvivalCurve, input::DesignParameters> cases[] = {
      {curve({0, 6, 12, 24}, {1, 0.85f, 0.72f, 0.5f}), design({6, 60}, {1.0f, 0.7f})},
      {base, design({10}, {0.5f})}, {base, design({10}, {2.0f})}, {base, design({3, 8, 12}, {1, 1, 1})},
      {curve({0, 5, 10}, {1, 0.7f, 0.3f}), design({4, 9, 20}, {0.6f, 1.3f, 0.8f})},
      {curve({0, 10}, {1, 1e-7f}), design({10, 20}, {1.0f, 1.0f})}};  // warns beyond the first cut
  int32_t warned = 0;
  for (auto [baseline, d] : cases) {
    d.baselineCurve = baseline;
    const HazardRatioLaw law = hazardRatioLaw(d);
    std::ostringstream got, want;
    for (float u : probabilities()) {
      ASSERT_TRUE(sameBits(hazardRatioTimeAtSurvival(law, u, got), definedHazardRatioTime(d, u, want)))
          << u << " with " << d.hazardRatioCount << " cuts";
    }
    EXPECT_EQ(got.str(), want.str());
    warned += !got.str().empty();
  }
  EXPECT_EQ(warned, 1);
}

TEST(PreparedLaws, NullVarianceIntegrandIsTheDefinedOne) {
  auto d = design();
  d.baselineCurve = curve({0, 6, 12, 24}, {1, 0.85f, 0.72f, 0.5f});
  d.censoringControl = curve({0, 24}, {1, 0.01f});
  d.censoringTreatment = curve({0, 20}, {1, 1e-6f});  // the sum falls below 1e-5 at last
  const NullVarianceCurves curves(d);
  int32_t zeros = 0;
  for (float rho : {0.0f, 0.5f, 1.0f, 2.0f}) {
    for (float tau : {0.0f, 0.5f, 1.0f, 1.5f}) {
      for (float t = 0.0f; t < 200.0f; t += 0.37f) {
        const float a = survivalAt(d.censoringControl, t), b = survivalAt(d.censoringTreatment, t);
        const double s = survivalAt(d.baselineCurve, t);
        const float want = a + b < 1e-5f ? 0.0f
                                         : float(std::pow(s, 2.0 * rho) * std::pow(1.0 - s, 2.0 * tau) *
                                                 double(a) * double(b) / double(a + b));
        ASSERT_TRUE(sameBits(nullVarianceIntegrand(curves, t, rho, tau), want)) << t << " " << rho;
        zeros += want == 0.0f;
      }
    }
  }
  EXPECT_GT(zeros, 0);
}

// Every float p in [kSmallestShortcutBase, 1], about a quarter of a billion (the sanitised
// build takes every 4099th), for each exponent with a shortcut, and some p outside and
// exponents without: p^e and (1 - p)^e must be the library's powers, bit for bit. The plain
// product and square root would not do: the library rounds some of them otherwise.
TEST(ProbabilityPowers, ShortcutsOfEveryFloatProbabilityAndComplementAreTheLibrarysPowers) {
  int64_t failures = 0;
  const auto check = [&](float p, double e) {
    failures += !sameBits(powerOfProbability(p, e), libraryPow(p, e));
    failures += !sameBits(powerOfComplement(p, e), libraryPow(1.0 - double(p), e));
  };
  const uint32_t last = std::bit_cast<uint32_t>(1.0f), stride = testing::kSanitizedBuild ? 4099 : 1;
  for (uint32_t bits = std::bit_cast<uint32_t>(kSmallestShortcutBase); bits <= last; bits += stride)
    for (double e : {0.0, 1.0, 2.0, 0.5}) check(std::bit_cast<float>(bits), e);
  for (float p : {0.0f, 0x1p-31f, 1.5f, -0.25f, 0.3f})
    for (double e : {0.0, 1.0, 2.0, 0.5, 3.0, 1.5}) check(p, e);
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace survseq::sim
