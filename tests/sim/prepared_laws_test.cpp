#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "report/output_line.h"
#include "sim/reference.h"
#include "sim/survival_functions.h"

// The curves and laws with their constants worked out once must give the times, survivals,
// densities and warnings of the functions as defined, bit for bit.

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

const input::SurvivalCurve kCurves[] = {
    curve({0, 10}, {1, 0.5f}),
    curve({0, 6, 12, 24}, {1, 0.85f, 0.72f, 0.5f}),
    curve({0, 5, 10}, {1, 0.5f, 0.5f}),                 // flat at the end
    curve({0, 5, 10, 15}, {1, 0.6f, 0.7f, 0.4f}),       // rising in the middle
    curve({0, 1, 2}, {1, 1 - 1e-7f, 1e-5f}),            // a drop too small to use
    curve({0, 24}, {1, 1}),                             // nobody lost
};

TEST(PreparedLaws, CurvesWithTheirHazardsGiveTheDefinedTimesAndSurvivals) {
  for (const auto& c : kCurves) {
    const CurveHazards prepared = withHazards(c);
    for (float u : probabilities()) {
      ASSERT_TRUE(sameBits(timeAtSurvival(prepared, u), timeAtSurvival(c, u))) << u;
      const float t = u * 40.0f;
      ASSERT_TRUE(sameBits(survivalAt(prepared, t), survivalAt(c, t))) << t;
    }
  }
}

TEST(PreparedLaws, HazardRatioLawGivesTheDefinedTimesAndWarnings) {
  struct Case { std::vector<float> cuts, ratios; input::SurvivalCurve baseline; };
  const Case cases[] = {
      {{6, 60}, {1.0f, 0.7f}, curve({0, 6, 12, 24}, {1, 0.85f, 0.72f, 0.5f})},
      {{10}, {0.5f}, curve({0, 10}, {1, 0.5f})},
      {{10}, {2.0f}, curve({0, 10}, {1, 0.5f})},
      {{3, 8, 12}, {1, 1, 1}, curve({0, 10}, {1, 0.5f})},
      {{4, 9, 20}, {0.6f, 1.3f, 0.8f}, curve({0, 5, 10}, {1, 0.7f, 0.3f})},
      {{10, 20}, {1.0f, 1.0f}, curve({0, 10}, {1, 1e-7f})},  // warns beyond the first cut
  };
  int32_t warned = 0;
  for (const Case& c : cases) {
    input::DesignParameters d;
    d.baselineCurve = c.baseline;
    d.hazardRatioCount = static_cast<int32_t>(c.cuts.size());
    std::copy(c.cuts.begin(), c.cuts.end(), d.hazardRatioCuts.begin() + 1);
    std::copy(c.ratios.begin(), c.ratios.end(), d.hazardRatios.begin() + 1);
    const HazardRatioLaw law = hazardRatioLaw(d);
    std::ostringstream got, want;
    for (float u : probabilities()) {
      ASSERT_TRUE(sameBits(hazardRatioTimeAtSurvival(law, u, got), definedHazardRatioTime(d, u, want)))
          << u << " with " << c.cuts.size() << " cuts";
    }
    EXPECT_EQ(got.str(), want.str());
    warned += !got.str().empty();
  }
  EXPECT_EQ(warned, 1);
}

TEST(PreparedLaws, NullVarianceIntegrandIsTheDefinedOne) {
  input::DesignParameters d;
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

}  // namespace
}  // namespace survseq::sim
