#include "bounds/score_subdensity.h"

#include <cmath>

#include "bounds/normal_distribution.h"
#include "bounds/propagation_kernel.h"

namespace survseq::bounds {

ScoreSubDensity firstSubDensity(float information, float critical) {
  const double rootInformation = std::sqrt(double(information));
  ScoreSubDensity g;
  g.scoreBoundary = static_cast<float>(rootInformation * double(critical));
  // At y = E u(n) the standardised value y / sqrt(tau_1) is u(n) * c_1.
  for (int n = 0; n < kQuadratureNodes; ++n) {
    const float z = static_cast<float>(double(kQuadratureNode[n]) * double(critical));
    g.atNode[n] = static_cast<float>(double(normalDensity(z)) / rootInformation);
  }
  return g;
}

float propagatedDensity(const ScoreSubDensity& previous, float sigma, double y) {
  const double boundary = previous.scoreBoundary;
  const double step = sigma;
  double sum = 0.0;
  for (int m = 0; m < kQuadratureNodes; ++m) {
    const double x = boundary * double(kQuadratureNode[m]);  // the node +x and its mirror -x
    const float fromAbove = static_cast<float>((x - y) / step);
    const float fromBelow = static_cast<float>((-x - y) / step);
    sum += double(kQuadratureWeight[m]) * double(previous.atNode[m]) *
           (double(normalDensity(fromAbove)) + double(normalDensity(fromBelow)));
  }
  return static_cast<float>(boundary / step * sum);
}

ScoreSubDensity advanceSubDensity(const ScoreSubDensity& previous, float sigma,
                                  float scoreBoundary) {
  ScoreSubDensity next;
  next.scoreBoundary = scoreBoundary;
  std::array<double, kQuadratureNodes> y{};
  for (int n = 0; n < kQuadratureNodes; ++n) {
    y[n] = double(scoreBoundary) * double(kQuadratureNode[n]);
  }
  propagatedDensities(propagationTerms(previous, sigma), y.data(), next.atNode.data(),
                      kQuadratureNodes);
  return next;
}

}  // namespace survseq::bounds
