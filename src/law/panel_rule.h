#pragma once

// The 16-point Gauss-Legendre rule on [-1, 1] in double precision, for the panels of the
// expected moments (expected_moments.h). The nodes are the roots of the Legendre
// polynomial P_16, found by Newton's method from Tricomi's first guesses
// cos(pi (i - 1/4) / (n + 1/2)); the weights are 2 / ((1 - x^2) P_16'(x)^2)
// (Abramowitz and Stegun 1964, 25.4.29). The rule is exact for polynomials of degree 31.

#include <array>
#include <cstddef>

namespace survseq::law {

inline constexpr int kPanelNodes = 16;

struct PanelRule {
  std::array<double, kPanelNodes> node{};    // ascending in (-1, 1)
  std::array<double, kPanelNodes> weight{};  // summing to 2
};

const PanelRule& panelRule();

// The rule mapped onto [a, b]: calls f(t, w) for each node t with its weight w.
template <typename F>
void forEachPanelNode(double a, double b, const F& f) {
  const PanelRule& rule = panelRule();
  const double half = (b - a) / 2.0;
  const double middle = (a + b) / 2.0;
  for (int i = 0; i < kPanelNodes; ++i) {
    f(middle + half * rule.node[static_cast<std::size_t>(i)], half * rule.weight[static_cast<std::size_t>(i)]);
  }
}

}  // namespace survseq::law
