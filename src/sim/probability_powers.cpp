#include "sim/probability_powers.h"

#include <cmath>

namespace survseq::sim {

double libraryPower(double base, double exponent) { return std::pow(base, exponent); }

}  // namespace survseq::sim
