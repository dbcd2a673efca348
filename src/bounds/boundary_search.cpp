#include "bounds/boundary_search.h"

#include "bounds/boundary_computation.h"

namespace survseq::bounds {

namespace {

constexpr float kSearchStep = 0.005f;
constexpr float kHalfSearchStep = 0.0025f;

}  // namespace

BoundarySearchResult searchCriticalValue(const ScoreSubDensity& previous, float sigma,
                                         float target) {
  const auto density = [&](float x) { return propagatedDensity(previous, sigma, double(x)); };

  // Trapezoids [x - h, x] until the integral from 0 passes the target. x is
  // accumulated in single precision, so the last point tried is the 999th step,
  // just below the cap.
  float area = 0.0f;
  float densityBelow = density(0.0f);
  float densityAbove = 0.0f;
  float x = kSearchStep;
  for (;;) {
    densityAbove = density(x);
    area = static_cast<float>(double(area) + (double(densityBelow) + double(densityAbove)) *
                                                 double(kHalfSearchStep));
    if (area > target) break;
    x += kSearchStep;
    if (x > kBoundaryCap) return {kBoundaryCap, false};
    densityBelow = densityAbove;
  }

  // Inside the last step: a linear guess x1 for the crossing, then the trapezoid over
  // [lower, c] whose upper side is the density at the guess.
  const float lower = x - kSearchStep;
  const float areaBelow = static_cast<float>(
      double(area) - (double(densityBelow) + double(densityAbove)) * double(kHalfSearchStep));
  const float guess = static_cast<float>(double(lower) + (double(target) - double(areaBelow)) *
                                                             double(kSearchStep) /
                                                             (double(area) - double(areaBelow)));
  const float critical = static_cast<float>(
      double(lower) +
      2.0 * (double(target) - double(areaBelow)) / (double(density(guess)) + double(densityBelow)));
  return {critical, true};
}

}  // namespace survseq::bounds
