#include "bounds/normal_quantile.h"

#include <cmath>
#include <limits>

// Wichura, M. J. (1988). Algorithm AS 241: the percentage points of the normal
// distribution. Applied Statistics 37, 477-484. Three rational approximations of degree 7
// (normal_quantile.h): near the centre, in the tail up to 5 on the sqrt(-log p) scale, and
// beyond.

namespace survseq::bounds {

namespace {

using namespace as241;

// Horner's rule for coefficients in increasing powers.
double polynomial(const double (&c)[8], double x) {
  double sum = c[7];
  for (int i = 6; i >= 0; --i) sum = sum * x + c[i];
  return sum;
}

}  // namespace

double standardNormalQuantile(double p) {
  if (std::isnan(p)) return std::numeric_limits<double>::quiet_NaN();
  if (p <= 0.0) return -std::numeric_limits<double>::infinity();
  if (p >= 1.0) return std::numeric_limits<double>::infinity();
  const double q = p - 0.5;
  if (std::fabs(q) <= 0.425) {
    const double r = 0.180625 - q * q;
    return q * polynomial(kCentre, r) / polynomial(kCentreDivisor, r);
  }
  double r = std::sqrt(-std::log(q < 0.0 ? p : 1.0 - p));
  double z = 0.0;
  if (r <= 5.0) {
    r -= 1.6;
    z = polynomial(kNear, r) / polynomial(kNearDivisor, r);
  } else {
    r -= 5.0;
    z = polynomial(kFar, r) / polynomial(kFarDivisor, r);
  }
  return q < 0.0 ? -z : z;
}

}  // namespace survseq::bounds
