#pragma once

// The lower Cholesky factor of a covariance with the coordinates put in the order of Genz
// and Bretz's prioritisation (Genz and Bretz, 2009, Computation of Multivariate Normal and
// t Probabilities, Springer, section 4.1.3), for the box probabilities of
// multivariate_normal.h.

#include <cstdint>
#include <vector>

namespace survseq::bounds {

// A pivot at or below this share of its variance counts as no variance left. Weighted
// log-rank scores can be exactly dependent (FH(0,0)'s weight is FH(1,0)'s plus FH(0,1)'s),
// and single-precision covariances leave such a pivot near 1e-7 instead of 0; a pivot of a
// share below 1e-4 (a standard deviation below 1% of the coordinate's) makes so steep a
// step that it costs the lattice more than dropping it costs the probability (about half
// the share times a density).
inline constexpr double kSingularShare = 1.0e-4;

// `sigma` is n x n, row by row. Within the first p coordinates, and within the others when
// `orderRest`, at each step the coordinate whose interval [lower, upper] is least likely
// given the truncated means of those before it comes next. The permutation is applied to
// the limits and recorded in `order` (the given coordinate at each place). A pivot with no
// variance left makes its column zero.
std::vector<double> orderedCholesky(std::vector<double> sigma, int32_t n, int32_t p,
                                    bool orderRest, std::vector<double>& lower,
                                    std::vector<double>& upper, std::vector<int32_t>& order);

}  // namespace survseq::bounds
