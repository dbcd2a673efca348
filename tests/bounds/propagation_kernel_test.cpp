// The vectorised density sums against the scalar path, bit for bit, on every instruction
// set that the kernel was compiled for and this processor runs.
#include <gtest/gtest.h>

#include <hwy/targets.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "bounds/boundary_computation.h"
#include "bounds/boundary_search.h"
#include "bounds/normal_distribution.h"
#include "bounds/propagation_kernel.h"
#include "build_kind.h"

namespace survseq::bounds {
namespace {

using survseq::testing::kSanitizedBuild;

// check(target name) under each instruction set in turn; then the processor's own again.
template <typename Check>
void onEveryTarget(const Check& check) {
  const std::vector<int64_t> targets = hwy::SupportedAndGeneratedTargets();
  ASSERT_FALSE(targets.empty());
  for (int64_t target : targets) {
    hwy::SetSupportedTargetsForTest(target);
    EXPECT_STREQ(propagationKernelTarget(), hwy::TargetName(target));
    check(hwy::TargetName(target));
  }
  hwy::SetSupportedTargetsForTest(0);
}

bool sameBits(float a, float b) {
  return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b) || (a != a && b != b);
}

// Every single-precision exponent the density can meet, from just above the cut-off -87
// to -ln sqrt(2 pi) (x = 0), and the 2^17 values from -87 down to -88 that are cut off
// (the sanitised build checks every 4099th); then exponents without a density.
TEST(PropagationKernel, DensityOfEveryExponentEqualsTheScalarOne) {
  const uint32_t first = std::bit_cast<uint32_t>(-kLogRootTwoPi);
  const uint32_t last = std::bit_cast<uint32_t>(-88.0f);  // negative floats: bits grow with |e|
  std::vector<float> exponent, expected, density;
  int differ = 0;
  for (uint64_t bits = first; bits <= last;) {
    exponent.clear();
    for (; bits <= last && exponent.size() < 65536; bits += kSanitizedBuild ? 4099 : 1) {
      exponent.push_back(std::bit_cast<float>(static_cast<uint32_t>(bits)));
    }
    expected.resize(exponent.size());
    density.resize(exponent.size());
    for (size_t i = 0; i < exponent.size(); ++i) expected[i] = densityOfExponent(exponent[i]);
    onEveryTarget([&](const char* target) {
      densitiesOfExponents(exponent.data(), density.data(), exponent.size());
      for (size_t i = 0; i < exponent.size(); ++i) {
        if (!sameBits(density[i], expected[i]) && ++differ <= 5) {
          ADD_FAILURE() << target << ": exp(" << exponent[i] << ") gives " << density[i]
                        << ", the scalar path " << expected[i];
        }
      }
    });
  }
  EXPECT_EQ(differ, 0);
  const std::vector<float> cut = {-87.0f, -INFINITY, NAN, -NAN, -1e30f, -87.00001f};
  onEveryTarget([&](const char* target) {
    density.assign(cut.size(), 1.0f);
    densitiesOfExponents(cut.data(), density.data(), cut.size());
    for (float d : density) EXPECT_EQ(std::bit_cast<uint32_t>(d), 0u) << target;
  });
}

// A previous sub-density with random values and boundary, as the recursion may leave it.
ScoreSubDensity randomSubDensity(std::mt19937& random, float boundary) {
  std::uniform_real_distribution<float> value(0.0f, 3.0f);
  ScoreSubDensity g;
  g.scoreBoundary = boundary;
  for (float& atNode : g.atNode) atNode = value(random);
  return g;
}

struct SumsCase { ScoreSubDensity g; float sigma; std::vector<double> y; };

// Points y at which the quotient (node - y) / sigma, if it were taken as the product
// with 1 / sigma, would round to another float: the sums must notice and divide. They
// are found a few double ulps from midpoints m between floats, y = node - (m sigma +
// j ulp), where m sigma (49 bits) and node - y are exact, for some increments sigma.
SumsCase awkwardPoints(const ScoreSubDensity& g, int m, std::mt19937& random) {
  std::uniform_real_distribution<float> increment(0.01f, 1.0f);
  std::uniform_real_distribution<double> fraction(0.5, 1.0);
  std::uniform_int_distribution<int> ulps(-3, 3);
  const double node = double(g.scoreBoundary) * double(kQuadratureNode[m]);
  const double ulp = std::nextafter(node, INFINITY) - node;
  SumsCase found{g, 0.0f, {}};
  for (int tries = 0; found.y.size() < 16 && tries < 1000000; ++tries) {
    if (tries % 5000 == 0) {  // try another increment
      found.sigma = increment(random);
      found.y.clear();
    }
    const float f = static_cast<float>(node * fraction(random) / found.sigma);
    const double midpoint = 0.5 * (double(f) + double(std::nextafter(f, INFINITY)));
    const double y = node - (midpoint * found.sigma + ulps(random) * ulp);
    const double numerator = node - y;
    if (float(numerator / found.sigma) != float(numerator * (1.0 / found.sigma))) {
      found.y.push_back(y);
    }
  }
  EXPECT_EQ(found.y.size(), 16u) << node;
  return found;
}

// Random sub-densities, increments and points, in numbers that fill vectors in part; no
// boundary, a point at a node, awkward quotients, huge and non-finite values.
TEST(PropagationKernel, SumsEqualTheScalarOnes) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<float> boundary(0.0f, 6.0f), sigma(0.003f, 1.0f), y(-8.0f, 8.0f);
  std::vector<SumsCase> cases;
  for (int c = 0; c < (kSanitizedBuild ? 20 : 400); ++c) {
    SumsCase one{randomSubDensity(random, boundary(random)), sigma(random), {}};
    for (int i = 0; i < 1 + c % 37; ++i) one.y.push_back(y(random));
    cases.push_back(one);
  }
  ScoreSubDensity g = randomSubDensity(random, 2.5f);
  const double atNode = double(g.scoreBoundary) * double(kQuadratureNode[3]);
  cases.push_back({g, 0.01f, {atNode, -atNode, 0.0, 1e30, -INFINITY, NAN}});
  cases.push_back({randomSubDensity(random, 0.0f), 0.5f, {0.0, 1.0, 2.0}});
  cases.push_back({g, NAN, {0.0, 1.0, 2.0}});
  for (int m = 0; m < kQuadratureNodes; ++m) cases.push_back(awkwardPoints(g, m, random));
  cases.push_back({randomSubDensity(random, 1e-39f), 0.5f, {0.0, 1e-40, -3e-39, 5e-39, 1e-45}});
  g.atNode[5] = NAN;
  cases.push_back({g, 0.3f, {0.0, 1.0, 2.0}});
  g.atNode[5] = INFINITY;
  cases.push_back({g, 0.3f, {0.0, 1.0, 2.0, 25.0}});

  onEveryTarget([&](const char* target) {
    for (size_t c = 0; c < cases.size(); ++c) {
      const SumsCase& one = cases[c];
      std::vector<float> density(one.y.size());
      propagatedDensities(propagationTerms(one.g, one.sigma), one.y.data(), density.data(),
                          one.y.size());
      for (size_t i = 0; i < one.y.size(); ++i) {
        EXPECT_PRED2(sameBits, density[i], propagatedDensity(one.g, one.sigma, one.y[i]))
            << target << " case " << c << " point " << i;
      }
    }
  });
}

// The search as it stepped before its densities were batched: one scalar sum per point.
BoundarySearchResult scalarSearch(const ScoreSubDensity& previous, float sigma, float target) {
  const auto f = [&](float x) { return double(propagatedDensity(previous, sigma, double(x))); };
  const double h = 0.005f, halfH = 0.0025f;
  float area = 0.0f, below = float(f(0.0f)), above = 0.0f, x = 0.005f;
  for (;;) {
    above = float(f(x));
    area = static_cast<float>(area + (double(below) + above) * halfH);
    if (area > target) break;
    x += 0.005f;
    if (x > kBoundaryCap) return {kBoundaryCap, false};
    below = above;
  }
  const float lower = x - 0.005f;
  const float areaBelow = static_cast<float>(area - (double(below) + above) * halfH);
  const double missing = double(target) - areaBelow;
  const float guess = static_cast<float>(lower + missing * h / (double(area) - areaBelow));
  return {static_cast<float>(lower + 2.0 * missing / (f(guess) + below)), true};
}

// Targets that are met early, late (after many batches) and never (0.6: beyond the cap).
TEST(PropagationKernel, SearchFindsTheScalarCriticalValue) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> target(0.0f, 0.5f);
  struct Case { ScoreSubDensity g; float sigma, target; };
  std::vector<Case> cases;
  for (int c = 0; c < (kSanitizedBuild ? 4 : 60); ++c) {
    ScoreSubDensity g = randomSubDensity(random, 2.0f + 0.03f * float(c));
    for (float& value : g.atNode) value *= 0.2f;
    cases.push_back({g, 0.1f + 0.015f * float(c), target(random)});
  }
  cases.push_back({cases[0].g, 0.3f, 0.0f});
  cases.push_back({cases[0].g, 0.3f, 0.6f});
  onEveryTarget([&](const char* target) {
    for (const Case& c : cases) {
      const BoundarySearchResult found = searchCriticalValue(c.g, c.sigma, c.target);
      const BoundarySearchResult expected = scalarSearch(c.g, c.sigma, c.target);
      EXPECT_PRED2(sameBits, found.criticalValue, expected.criticalValue) << target << c.sigma;
      EXPECT_EQ(found.reached, expected.reached) << target << " " << c.sigma;
    }
  });
}

}  // namespace
}  // namespace survseq::bounds
