#include "bounds/normal_distribution.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace survseq::bounds {
namespace {

// Reference values in double precision from the C library's complementary error function.
double upperTail(double x) { return 0.5 * std::erfc(x / std::sqrt(2.0)); }

TEST(NormalDensity, IsTheStandardNormalDensity) {
  EXPECT_NEAR(normalDensity(0.0f), 0.3989423, 5e-8);
  for (float x : {0.5f, 1.0f, 1.96f, 3.0f, 8.0f}) {
    const double expected = std::exp(-0.5 * double(x) * double(x)) / std::sqrt(2.0 * M_PI);
    // The exponent is held in single precision: its rounding, up to |exponent| * 2^-24,
    // becomes a relative error of the density.
    const double exponent = 0.5 * double(x) * double(x) + 0.92;
    EXPECT_NEAR(normalDensity(x), expected, (exponent * 0x1p-24 + 2e-7) * expected) << x;
    EXPECT_EQ(normalDensity(-x), normalDensity(x)) << x;
  }
}

TEST(NormalDensity, IsCutOffToZeroFarOut) {
  // The exponent -x^2/2 - 0.919 passes -87 at |x| of about 13.1211.
  EXPECT_GT(normalDensity(13.0f), 0.0f);
  EXPECT_EQ(normalDensity(13.2f), 0.0f);
  EXPECT_EQ(normalDensity(-13.2f), 0.0f);
  EXPECT_EQ(normalDensity(std::numeric_limits<float>::infinity()), 0.0f);
  EXPECT_EQ(normalDensity(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

TEST(NormalTailArea, MatchesTheDocumentedValues) {
  EXPECT_NEAR(normalTailArea(1.96f, true), 0.0249979, 1e-7);
  EXPECT_NEAR(normalTailArea(1.96f, false), 0.9750021, 1e-7);
  EXPECT_NEAR(normalTailArea(-1.96f, true), 0.9750021, 1e-7);
  EXPECT_NEAR(normalTailArea(-1.96f, false), 0.0249979, 1e-7);
  EXPECT_EQ(normalTailArea(0.0f, true), 0.5f);
  EXPECT_EQ(normalTailArea(0.0f, false), 0.5f);
}

TEST(NormalTailArea, AgreesWithTheErrorFunctionOnBothBranches) {
  for (float x : {-3.5f, -1.0f, 0.3f, 1.0f, 1.27f, 1.5f, 2.5f, 4.0f, 6.0f}) {
    EXPECT_NEAR(normalTailArea(x, true), upperTail(x), 2e-7) << x;
    EXPECT_NEAR(normalTailArea(x, false), 1.0 - upperTail(x), 2e-7) << x;
  }
}

TEST(NormalTailArea, StillComputesTheUpperTailBetween7And18_66) {
  EXPECT_EQ(normalTailArea(8.0f, false), 1.0f);
  EXPECT_NEAR(normalTailArea(8.0f, true), 6.22e-16, 0.01e-16);
  EXPECT_NEAR(normalTailArea(8.0f, true), upperTail(8.0), 1e-5 * upperTail(8.0));
  EXPECT_NEAR(normalTailArea(10.0f, true), upperTail(10.0), 1e-4 * upperTail(10.0));
  EXPECT_EQ(normalTailArea(19.0f, true), 0.0f);
  EXPECT_EQ(normalTailArea(-19.0f, false), 0.0f);
  EXPECT_EQ(normalTailArea(-8.0f, true), 1.0f);
}

TEST(NormalTailArea, BranchesMeetWithoutAStepAt1_28) {
  const float seam = 1.28f;
  const float justAbove = std::nextafter(seam, 2.0f);
  const float below = normalTailArea(seam, true);
  const float above = normalTailArea(justAbove, true);
  // The true change over one float step is about 2e-8, a few units in the last place.
  EXPECT_LE(above, below);
  EXPECT_LT(below - above, 4e-8f);
  EXPECT_NEAR(below, upperTail(seam), 1e-7);
  EXPECT_NEAR(above, upperTail(justAbove), 1e-7);
}

TEST(NormalQuantile, MatchesTheDocumentedValues) {
  int32_t fault = -1;
  EXPECT_NEAR(normalQuantile(0.975f, fault), 1.959964, 1e-6);
  EXPECT_EQ(fault, 0);
  EXPECT_NEAR(normalQuantile(0.025f, fault), -1.959964, 1e-6);
  EXPECT_EQ(fault, 0);
  fault = -1;
  EXPECT_EQ(normalQuantile(0.5f, fault), 0.0f);
  EXPECT_EQ(fault, 0);
}

TEST(NormalQuantile, InvertsTheTailArea) {
  int32_t fault = -1;
  for (float p : {1e-6f, 0.001f, 0.05f, 0.3f, 0.7f, 0.95f, 0.999f}) {
    const float z = normalQuantile(p, fault);
    EXPECT_EQ(fault, 0);
    // AS 70 is good to about 1.5e-8 in p; single precision costs more in the far tail.
    EXPECT_NEAR(1.0 - upperTail(z), p, 2e-7 + 1e-6 * p) << p;
  }
}

TEST(NormalQuantile, ReportsAFaultWithNoUsableTail) {
  for (float p : {1.0e-21f, 0.0f, 1.0f, -0.5f, 2.0f, std::numeric_limits<float>::quiet_NaN()}) {
    int32_t fault = 0;
    EXPECT_EQ(normalQuantile(p, fault), 0.0f) << p;
    EXPECT_EQ(fault, 1) << p;
  }
  int32_t fault = 1;
  EXPECT_LT(normalQuantile(1.0e-19f, fault), -8.0f);
  EXPECT_EQ(fault, 0);
}

}  // namespace
}  // namespace survseq::bounds
