#pragma once

// Sub-densities of the score process between the analyses of a group-sequential test.
//
// Under the null hypothesis the score of a standardised statistic is a Brownian motion
// S(tau) on the information scale, tau being the information as a fraction of that of
// the analysis in hand (so tau = 1 there). At analysis i the statistic is
// Z_i = S(tau_i) / sqrt(tau_i), so "|Z_i| < c_i" is "|S(tau_i)| < E_i" with the
// boundary on the score scale E_i = sqrt(tau_i) * c_i.
//
// Let g_i(y) be the density of S(tau_i) at y over the paths that stayed inside
// (-E_m, E_m) at every earlier analysis m. At the first analysis S is N(0, tau_1):
//
//   g_1(y) = phi(y / sqrt(tau_1)) / sqrt(tau_1).
//
// Between two analyses the path gains an independent N(0, sigma^2) increment with
// sigma^2 = tau_i - tau_(i-1), so only the paths inside (-E, E) = (-E_(i-1), E_(i-1))
// carry over:
//
//   g_i(y) = integral over (-E, E) of g_(i-1)(x) * phi((y - x) / sigma) / sigma dx.
//
// Every g_i is even, and the integral is taken by the Gauss-Legendre rule of
// gauss_legendre.h with x = +-E u(m):
//
//   g_i(y) ~ (E / sigma) * sum over m of w(m) g_(i-1)(E u(m))
//                                   * [phi((E u(m) - y) / sigma) + phi((-E u(m) - y) / sigma)].
//
// So each g_i is needed only at the nodes of its own region, y = E_i u(n), and the same
// sum gives the density of the last analysis at any point of the boundary search.

#include <array>

#include "bounds/gauss_legendre.h"

namespace survseq::bounds {

// g at the positive quadrature nodes of the continuation region (-E, E) of one analysis.
struct ScoreSubDensity {
  float scoreBoundary = 0.0f;  // E
  std::array<float, kQuadratureNodes> atNode{};  // g(E u(n))
};

// g_1 of an analysis with information fraction `information` and critical value `critical`.
ScoreSubDensity firstSubDensity(float information, float critical);

// The density one step further on, at score y: the integral of `previous` over its
// continuation region against the N(0, sigma^2) increment. y is double so that the
// exact product E_i u(n) of two floats can be passed unrounded.
float propagatedDensity(const ScoreSubDensity& previous, float sigma, double y);

// g_i at the nodes of (-scoreBoundary, scoreBoundary), from g_(i-1) and the increment sigma.
ScoreSubDensity advanceSubDensity(const ScoreSubDensity& previous, float sigma,
                                  float scoreBoundary);

}  // namespace survseq::bounds
