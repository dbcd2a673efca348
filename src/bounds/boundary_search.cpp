#include "bounds/boundary_search.h"

#include <array>

#include "bounds/boundary_computation.h"
#include "bounds/propagation_kernel.h"

namespace survseq::bounds {

namespace {

constexpr float kSearchStep = 0.005f;
constexpr float kHalfSearchStep = 0.0025f;

// The densities at the points 0, h, 2h, ... of the search (accumulated in single
// precision, as the search steps through them), computed kBatch points ahead several
// at a time. Points past the crossing are computed in vain but change nothing.
class DensityStream {
 public:
  explicit DensityStream(const PropagationTerms& terms) : terms_(terms) {}

  float next() {
    if (index_ == kBatch) refill();
    return density_[index_++];
  }

 private:
  static constexpr int kBatch = 16;

  void refill() {
    for (double& point : point_) {
      point = nextPoint_;
      nextPoint_ += kSearchStep;
    }
    propagatedDensities(terms_, point_.data(), density_.data(), kBatch);
    index_ = 0;
  }

  const PropagationTerms& terms_;
  float nextPoint_ = 0.0f;
  int index_ = kBatch;
  std::array<double, kBatch> point_{};
  std::array<float, kBatch> density_{};
};

}  // namespace

BoundarySearchResult searchCriticalValue(const ScoreSubDensity& previous, float sigma,
                                         float target) {
  const PropagationTerms terms = propagationTerms(previous, sigma);
  DensityStream density(terms);

  // Trapezoids [x - h, x] until the integral from 0 passes the target. x is
  // accumulated in single precision, so the last point tried is the 999th step,
  // just below the cap.
  float area = 0.0f;
  float densityBelow = density.next();
  float densityAbove = 0.0f;
  float x = kSearchStep;
  for (;;) {
    densityAbove = density.next();
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
      2.0 * (double(target) - double(areaBelow)) /
          (double(propagatedDensity(previous, sigma, double(guess))) + double(densityBelow)));
  return {critical, true};
}

}  // namespace survseq::bounds
