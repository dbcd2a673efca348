// The vectorised density sums against the scalar path, bit for bit, on every instruction
// set that the kernel was compiled for and this processor runs.
#include <gtest/gtest.h>

#include <hwy/targets.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
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

// The instruction sets to check, each forced in turn; the processor's own choice is
// restored on leaving.
class EveryTarget {
 public:
  EveryTarget() : targets_(hwy::SupportedAndGeneratedTargets()) {}
  ~EveryTarget() { hwy::SetSupportedTargetsForTest(0); }
  const std::vector<int64_t>& targets() const { return targets_; }
  static void force(int64_t target) { hwy::SetSupportedTargetsForTest(target); }

 private:
  std::vector<int64_t> targets_;
};

bool sameBits(float a, float b) {
  return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b) || (a != a && b != b);
}

TEST(PropagationKernel, EachInstructionSetCanBeForced) {
  EveryTarget every;
  ASSERT_FALSE(every.targets().empty());
  for (int64_t target : every.targets()) {
    EveryTarget::force(target);
    EXPECT_STREQ(propagationKernelTarget(), hwy::TargetName(target));
  }
}

// Every single-precision exponent the density can meet, from just above the cut-off -87
// to -ln sqrt(2 pi) (x = 0), and the 2^17 values from -87 down to -88 that are cut off.
// The sanitised build checks every 4099th.
TEST(PropagationKernel, DensityOfEveryExponentEqualsTheScalarOne) {
  const uint32_t first = std::bit_cast<uint32_t>(-kLogRootTwoPi);
  const uint32_t last = std::bit_cast<uint32_t>(-88.0f);  // negative floats: bits grow with |e|
  const uint32_t stride = kSanitizedBuild ? 4099 : 1;
  constexpr size_t kChunk = 1 << 16;
  std::vector<float> exponent, expected(kChunk), density(kChunk);
  EveryTarget every;
  std::vector<uint64_t> checked(every.targets().size()), differ(checked), fallbacks(checked);

  for (uint64_t bits = first; bits <= last;) {
    exponent.clear();
    for (; bits <= last && exponent.size() < kChunk; bits += stride) {
      exponent.push_back(std::bit_cast<float>(static_cast<uint32_t>(bits)));
    }
    for (size_t i = 0; i < exponent.size(); ++i) expected[i] = densityOfExponent(exponent[i]);
    for (size_t t = 0; t < every.targets().size(); ++t) {
      EveryTarget::force(every.targets()[t]);
      fallbacks[t] += densitiesOfExponents(exponent.data(), density.data(), exponent.size());
      checked[t] += exponent.size();
      for (size_t i = 0; i < exponent.size(); ++i) {
        if (sameBits(density[i], expected[i])) continue;
        if (++differ[t] <= 5) {
          ADD_FAILURE() << hwy::TargetName(every.targets()[t]) << ": exp(" << exponent[i]
                        << ") gives " << density[i] << ", the scalar path " << expected[i];
        }
      }
    }
  }
  for (size_t t = 0; t < every.targets().size(); ++t) {
    std::printf("%-8s %llu exponents, %llu differ, %llu lanes took the exact exponential\n",
                hwy::TargetName(every.targets()[t]), (unsigned long long)checked[t],
                (unsigned long long)differ[t], (unsigned long long)fallbacks[t]);
    EXPECT_EQ(differ[t], 0u) << hwy::TargetName(every.targets()[t]);
  }
}

TEST(PropagationKernel, ExponentsWithoutADensity) {
  const std::vector<float> exponent = {-87.0f, -INFINITY, NAN, -NAN, -1e30f, -87.00001f};
  std::vector<float> density(exponent.size(), 1.0f);
  EveryTarget every;
  for (int64_t target : every.targets()) {
    EveryTarget::force(target);
    densitiesOfExponents(exponent.data(), density.data(), exponent.size());
    for (size_t i = 0; i < exponent.size(); ++i) {
      EXPECT_EQ(std::bit_cast<uint32_t>(density[i]), 0u) << hwy::TargetName(target) << " " << i;
    }
  }
}

// A previous sub-density with random values and boundary, as the recursion may leave it.
ScoreSubDensity randomSubDensity(std::mt19937& random, float boundary) {
  std::uniform_real_distribution<float> value(0.0f, 3.0f);
  ScoreSubDensity g;
  g.scoreBoundary = boundary;
  for (float& atNode : g.atNode) atNode = value(random);
  return g;
}

struct SumsCase {
  ScoreSubDensity g;
  float sigma;
  std::vector<double> y;
};

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

// Random sub-densities, increments and points, in numbers that fill vectors in part,
// and the degenerate cases: no boundary, a point at a node, quotients that round
// awkwardly, huge and non-finite values.
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

  EveryTarget every;
  for (int64_t target : every.targets()) {
    EveryTarget::force(target);
    for (size_t c = 0; c < cases.size(); ++c) {
      const SumsCase& one = cases[c];
      std::vector<float> density(one.y.size());
      propagatedDensities(propagationTerms(one.g, one.sigma), one.y.data(), density.data(),
                          one.y.size());
      for (size_t i = 0; i < one.y.size(); ++i) {
        const float expected = propagatedDensity(one.g, one.sigma, one.y[i]);
        EXPECT_PRED2(sameBits, density[i], expected)
            << hwy::TargetName(target) << " case " << c << " point " << i;
      }
    }
  }
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

// Targets that are met early, late (after many batches) and never.
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
  cases.push_back({cases[0].g, 0.3f, 0.6f});  // beyond the cap

  EveryTarget every;
  for (int64_t target : every.targets()) {
    EveryTarget::force(target);
    for (size_t c = 0; c < cases.size(); ++c) {
      const Case& one = cases[c];
      const BoundarySearchResult found = searchCriticalValue(one.g, one.sigma, one.target);
      const BoundarySearchResult expected = scalarSearch(one.g, one.sigma, one.target);
      EXPECT_PRED2(sameBits, found.criticalValue, expected.criticalValue)
          << hwy::TargetName(target) << " case " << c;
      EXPECT_EQ(found.reached, expected.reached) << hwy::TargetName(target) << " case " << c;
    }
  }
}

}  // namespace
}  // namespace survseq::bounds
