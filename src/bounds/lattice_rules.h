#pragma once

// Rank-1 lattice rules for integrals over the unit cube of up to kMaxNormalDimension
// coordinates: the points frac(q z / n), q = 0..n-1, for a prime n and a generating
// vector z. The vectors are built component by component (Sloan, Kuo and Joe, 2002, SIAM
// J. Sci. Comput. 24, 1283-1300; the construction of Nuyens and Cools, 2006, Math. Comp.
// 75, 903-920, gives the same vectors faster), each component minimising the worst-case
// error in the weighted Korobov space of smoothness 2 with product weights 1/j^2 given the
// components before it; so any leading part of a vector is itself a good rule for fewer
// coordinates. Periodised integrands (the baker's transformation) converge near O(1/n^2).

#include <cstdint>

namespace survseq::bounds {

inline constexpr int32_t kLatticeCoordinates = 75;

struct LatticeRule {
  int32_t points = 0;               // n, a prime
  const int32_t* generator = nullptr;  // z, kLatticeCoordinates components
};

// The rule with the fewest points at least `points`, a rule within 2 % below counting as
// enough (the rules' numbers of points are primes just below powers of two, so that twice
// a rule's points asks for the next rule); the largest rule when none has that many.
LatticeRule latticeRuleFor(int32_t points);

// The number of points of the largest rule.
int32_t largestLatticeRule();

}  // namespace survseq::bounds
