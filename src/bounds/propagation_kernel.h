#pragma once

// propagatedDensity (score_subdensity.h) at many points at once. The points go into the
// lanes of SIMD registers of the widest instruction set the processor offers, chosen at
// run time; each lane repeats the scalar arithmetic step by step, in the same order, so
// every density equals the scalar one bit for bit (see propagation_kernel.cpp for why
// the exponential may be taken from a faster routine).

#include <array>
#include <cstddef>

#include "bounds/gauss_legendre.h"
#include "bounds/score_subdensity.h"

namespace survseq::bounds {

// The parts of propagatedDensity that do not depend on the point, for one previous
// sub-density and one increment sigma.
struct PropagationTerms {
  std::array<double, kQuadratureNodes> node{};      // E u(m)
  std::array<double, kQuadratureNodes> weighted{};  // w(m) g(E u(m))
  double step = 0.0;                                // sigma
  double inverseStep = 0.0;                         // 1 / sigma
  double scale = 0.0;                               // E / sigma
};

PropagationTerms propagationTerms(const ScoreSubDensity& previous, float sigma);

// density[i] = propagatedDensity(previous, sigma, y[i]) for i < count, where `terms`
// are the propagation terms of previous and sigma.
void propagatedDensities(const PropagationTerms& terms, const double* y, float* density,
                         std::size_t count);

// density[i] = densityOfExponent(exponent[i]) for i < count, by the vectorised routine
// the sums use. Returns the number of lanes that took the scalar exponential.
std::size_t densitiesOfExponents(const float* exponent, float* density, std::size_t count);

// Name of the instruction set the two routines above run on.
const char* propagationKernelTarget();

}  // namespace survseq::bounds
