#include <gtest/gtest.h>

#include <cmath>

#include "bounds/boundary_computation.h"
#include "bounds/normal_distribution.h"

namespace survseq::bounds {
namespace {

using input::HaybittleType;
using input::Linear;
using input::OBrienFleming;
using input::Pocock;

constexpr float kAlpha = 0.05f;

float spent(int32_t useFunction, float fraction) {
  return spentError(useFunction, kAlpha, fraction, 0.0f, 0.0f, 0.0f);
}

TEST(UseFunctions, SpendAllOfAlphaAtTheEnd) {
  EXPECT_NEAR(spent(OBrienFleming, 1.0f), kAlpha, 1e-6);
  // ln(1 + 1.71828) falls short of 1 by 7e-7.
  EXPECT_NEAR(spent(Pocock, 1.0f), kAlpha, 1e-7);
  EXPECT_FLOAT_EQ(spent(Linear, 1.0f), kAlpha);
}

TEST(UseFunctions, FollowTheirShapesBetween) {
  const double z = 1.959963985;  // the two-sided 5 % point
  for (float fraction : {0.1f, 0.25f, 0.5f, 0.8f}) {
    const double obrienFleming = std::erfc(z / std::sqrt(double(fraction)) / std::sqrt(2.0));
    EXPECT_NEAR(spent(OBrienFleming, fraction), obrienFleming, 1e-7 + 1e-5 * obrienFleming);
    EXPECT_NEAR(spent(Pocock, fraction), kAlpha * std::log(1.0 + (M_E - 1.0) * fraction), 1e-7);
    EXPECT_FLOAT_EQ(spent(Linear, fraction), kAlpha * fraction);
  }
}

TEST(UseFunctions, HaybittleTypeGrowsWithTheLogOfInformationOverTheFloor) {
  const float b = 3.0f;  // phi(b) and the result are single precision: relative error ~1e-7
  const double density = std::exp(-4.5) / std::sqrt(2.0 * M_PI);
  const double atFloor = 4.0 * density / 3.0;
  // The fraction plays no part.
  EXPECT_NEAR(spentError(HaybittleType, kAlpha, 0.3f, 20.0f, 20.0f, b), atFloor, 3e-7 * atFloor);
  EXPECT_NEAR(spentError(HaybittleType, kAlpha, 0.9f, 20.0f, 20.0f, b), atFloor, 3e-7 * atFloor);
  const double doubled = (3.0 - 1.0 / 3.0) * density * std::log(2.0) + atFloor;
  EXPECT_NEAR(spentError(HaybittleType, kAlpha, 0.5f, 40.0f, 20.0f, b), doubled, 3e-7 * doubled);
  // Every unknown code means this function.
  EXPECT_EQ(spentError(7, kAlpha, 0.5f, 40.0f, 20.0f, b),
            spentError(HaybittleType, kAlpha, 0.5f, 40.0f, 20.0f, b));
}

}  // namespace
}  // namespace survseq::bounds
