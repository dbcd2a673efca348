#include "bounds/normal_distribution.h"

#include <cmath>

// The tail area and the quantile are the Applied Statistics algorithms AS 66 (Hill,
// 1973) and AS 70 (Odeh and Evans, 1974). Their published constants are held in
// single precision, as every stored real of the program; each formula is evaluated in
// double and rounded once, when its value is kept.

namespace survseq::bounds {

namespace {

// AS 66: rational approximation near the centre, continued fraction in the tail.
namespace as66 {
constexpr float kP = 0.398942280444f;
constexpr float kQ = 0.399903438504f;
constexpr float kR = 0.398942280385f;
constexpr float kA1 = 5.75885480458f;
constexpr float kA2 = 2.62433121679f;
constexpr float kA3 = 5.92885724438f;
constexpr float kB1 = -29.8213557807f;
constexpr float kB2 = 48.6959930692f;
constexpr float kC1 = -3.8052e-8f;
constexpr float kC2 = 3.98064794e-4f;
constexpr float kC3 = -0.151679116635f;
constexpr float kC4 = 4.8385912808f;
constexpr float kC5 = 0.742380924027f;
constexpr float kC6 = 3.99019417011f;
constexpr float kD1 = 1.00000615302f;
constexpr float kD2 = 1.98615381364f;
constexpr float kD3 = 5.29330324926f;
constexpr float kD4 = -15.1508972451f;
constexpr float kD5 = 30.789933034f;

// Where the central approximation hands over to the continued fraction.
constexpr float kBranchPoint = 1.28f;
// Beyond these the lower tail is 1 and the upper tail 0 in single precision.
constexpr float kLowerTailLimit = 7.0f;
constexpr float kUpperTailLimit = 18.66f;
}  // namespace as66

// AS 70: z = y + p(y)/q(y) with y = sqrt(ln(1/ps^2)).
namespace as70 {
constexpr float kP0 = -0.322232431088f;
constexpr float kP1 = -1.0f;
constexpr float kP2 = -0.342242088547f;
constexpr float kP3 = -0.0204231210245f;
constexpr float kP4 = -0.453642210148e-4f;
constexpr float kQ0 = 0.0993484626060f;
constexpr float kQ1 = 0.588581570495f;
constexpr float kQ2 = 0.531103462366f;
constexpr float kQ3 = 0.103537752850f;
constexpr float kQ4 = 0.38560700634e-2f;

// Tail probabilities below this have no usable quantile.
constexpr float kSmallestTail = 1.0e-20f;
}  // namespace as70

}  // namespace

float normalDensity(float x) { return densityOfExponent(densityExponent(x)); }

float densityExponent(float x) {
  return static_cast<float>(-(0.5 * double(x) * double(x)) - double(kLogRootTwoPi));
}

float densityOfExponent(float exponent) {
  // Written so that a NaN exponent also gives 0.
  if (exponent > kDensityExponentCutoff) {
    return static_cast<float>(std::exp(double(exponent)));
  }
  return 0.0f;
}

float normalTailArea(float x, bool upper) {
  using namespace as66;
  // Work with z >= 0 and the tail on the matching side.
  bool upperTail = upper;
  float z = x;
  if (z <= 0.0f) {
    upperTail = !upperTail;
    z = -z;
  }

  // Far out the tail is 0 (a NaN argument goes on to give NaN).
  float tail = 0.0f;
  const bool beyondTail = z > kLowerTailLimit && (!upperTail || z > kUpperTailLimit);
  if (!beyondTail) {
    const float y = static_cast<float>(0.5 * double(z) * double(z));
    const double zd = z;
    const double yd = y;
    if (z <= kBranchPoint) {
      tail = static_cast<float>(
          0.5 - zd * (double(kP) - double(kQ) * yd /
                                       (yd + double(kA1) +
                                        double(kB1) / (yd + double(kA2) +
                                                       double(kB2) / (yd + double(kA3))))));
    } else {
      tail = static_cast<float>(
          double(kR) * std::exp(-yd) /
          (zd + double(kC1) +
           double(kD1) /
               (zd + double(kC2) +
                double(kD2) /
                    (zd + double(kC3) +
                     double(kD3) /
                         (zd + double(kC4) +
                          double(kD4) / (zd + double(kC5) + double(kD5) / (zd + double(kC6))))))));
    }
  }
  return upperTail ? tail : static_cast<float>(1.0 - double(tail));
}

float normalQuantile(float p, int32_t& fault) {
  using namespace as70;
  fault = 1;
  float tailProbability = p;
  if (tailProbability > 0.5f) tailProbability = static_cast<float>(1.0 - double(tailProbability));
  // The negated test also refuses p <= 0, p >= 1 and NaN.
  if (!(tailProbability >= kSmallestTail)) return 0.0f;

  fault = 0;
  if (tailProbability == 0.5f) return 0.0f;

  const double ps = tailProbability;
  const float y = static_cast<float>(std::sqrt(std::log(1.0 / (ps * ps))));
  const double yd = y;
  float z = static_cast<float>(
      yd + ((((yd * double(kP4) + double(kP3)) * yd + double(kP2)) * yd + double(kP1)) * yd +
            double(kP0)) /
               ((((yd * double(kQ4) + double(kQ3)) * yd + double(kQ2)) * yd + double(kQ1)) * yd +
                double(kQ0)));
  if (p < 0.5f) z = -z;
  return z;
}

}  // namespace survseq::bounds
