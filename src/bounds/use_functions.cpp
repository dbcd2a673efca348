#include <cmath>

#include "bounds/boundary_computation.h"
#include "bounds/normal_distribution.h"

// Lan-DeMets use functions: the cumulative type-I error that may be spent by the time
// a fraction `fraction` of the planned information has been observed. Beside the coded
// functions, two one-parameter families (Jennison and Turnbull, section 7.2):
//   Hwang, Shih and DeCani (1990): alpha (1 - e^(-gamma t)) / (1 - e^(-gamma)), gamma real,
//     the linear function alpha t at gamma = 0 (its limit); gamma -4 is close to
//     O'Brien-Fleming, gamma 1 close to Pocock;
//   Kim and DeMets (1987), the power family: alpha t^rho, rho > 0.
// alpha is the whole type-I error; two-sided designs split it over the tails as for the
// coded functions.

namespace survseq::bounds {

namespace {

// e - 1, so that the Pocock function spends all of alpha at fraction 1.
constexpr float kEMinusOne = 1.71828f;

// e^x stays finite in double precision up to x ~ 709.
constexpr double kLargestExponent = 700.0;

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

float hwangShihDeCaniError(float typeIError, float fraction, float gamma) {
  if (gamma == 0.0f) return linearError(typeIError, fraction);
  const double g = gamma, t = fraction;
  // expm1 keeps the ratio exact for gamma near 0. For a strongly negative gamma e^(-gamma)
  // would overflow: there the ratio is taken times e^gamma, (e^(gamma (1 - t)) - e^gamma) /
  // (1 - e^gamma).
  const double share = g > -kLargestExponent
                           ? std::expm1(-g * t) / std::expm1(-g)
                           : (std::exp(g * (1.0 - t)) - std::exp(g)) / -std::expm1(g);
  return static_cast<float>(double(typeIError) * share);
}

float kimDeMetsError(float typeIError, float fraction, float exponent) {
  return static_cast<float>(double(typeIError) * std::pow(double(fraction), double(exponent)));
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

float designSpentError(const input::DesignParameters& design, float fraction, float information,
                       float floor) {
  switch (design.spendingFamily) {
    case input::SpendingFamily::HwangShihDeCani:
      return hwangShihDeCaniError(design.typeIError, fraction, design.spendingGamma);
    case input::SpendingFamily::KimDeMets:
      return kimDeMetsError(design.typeIError, fraction, design.spendingExponent);
    case input::SpendingFamily::Coded:
      break;
  }
  return spentError(design.useFunction, design.typeIError, fraction, information, floor,
                    design.haybittleB);
}

}  // namespace survseq::bounds
