#include <cmath>

#include "bounds/boundary_computation.h"
#include "bounds/normal_distribution.h"

// Lan-DeMets use functions: the cumulative type-I error that may be spent by the time
// a fraction `fraction` of the planned information has been observed.

namespace survseq::bounds {

namespace {

// e - 1, so that the Pocock function spends all of alpha at fraction 1.
constexpr float kEMinusOne = 1.71828f;

// 2 (1 - Phi(z_(alpha/2) / sqrt(fraction))): the error of a fixed two-sided boundary
// on the Brownian-motion scale, very little early and alpha at fraction 1.
float obrienFlemingError(float typeIError, float fraction) {
  int32_t fault = 0;  // unused: the reader keeps alpha above 1e-10, so 1 - alpha/2 has a quantile
  const float z = normalQuantile(static_cast<float>(1.0 - double(typeIError) / 2.0), fault);
  const float scaled = static_cast<float>(double(z) / std::sqrt(double(fraction)));
  return static_cast<float>(2.0 * double(normalTailArea(scaled, true)));
}

float pocockError(float typeIError, float fraction) {
  return static_cast<float>(double(typeIError) *
                            std::log(1.0 + double(kEMinusOne) * double(fraction)));
}

float linearError(float typeIError, float fraction) {
  return static_cast<float>(double(typeIError) * double(fraction));
}

// (b - 1/b) phi(b) ln(I / I0) + 4 phi(b) / b: grows with the log of the information
// relative to the statistic's floor I0, not with the fraction.
float haybittleTypeError(float information, float floor, float b) {
  const double density = normalDensity(b);
  const double bd = b;
  return static_cast<float>((bd - 1.0 / bd) * density *
                                std::log(double(information) / double(floor)) +
                            4.0 * density / bd);
}

}  // namespace

float spentError(int32_t useFunction, float typeIError, float fraction, float information,
                 float floor, float b) {
  switch (useFunction) {
    case input::OBrienFleming:
      return obrienFlemingError(typeIError, fraction);
    case input::Pocock:
      return pocockError(typeIError, fraction);
    case input::Linear:
      return linearError(typeIError, fraction);
    default:  // HaybittleType, and every other code
      return haybittleTypeError(information, floor, b);
  }
}

}  // namespace survseq::bounds
