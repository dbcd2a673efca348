#pragma once

// Independent reference computations for the tests, in double precision: the standard
// normal law, Simpson's rule, and the crossing probabilities of a group-sequential test (the
// score's sub-density on 1200 Simpson intervals of each continuation region, then erfc).

#include <cmath>
#include <vector>

namespace survseq::testing {

inline double phi(double x) { return std::exp(-0.5 * x * x) / std::sqrt(2.0 * M_PI); }
inline double upperTail(double x) { return 0.5 * std::erfc(x / std::sqrt(2.0)); }
inline double lowerTail(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// Simpson's rule on [a, b] in `steps` intervals, an even number.
template <class F>
double simpson(F f, double a, double b, int steps) {
  const double h = (b - a) / steps;
  double sum = f(a) + f(b);
  for (int i = 1; i < steps; ++i) sum += (i % 2 == 1 ? 4.0 : 2.0) * f(a + i * h);
  return sum * h / 3.0;
}

// A look at the score: its mean and variance, its bounds (lower -infinity: none). A NaN
// upper bound is solved for, so that the upward crossings so far add up to `spent`.
struct ReferenceLook { double mean, variance, upper, lower, spent = 0; };

// The probability of crossing upward at each look; the solved bounds are written back.
inline std::vector<double> referenceCrossings(std::vector<ReferenceLook>& looks) {
  constexpr int N = 1200;
  std::vector<double> x{0.0}, w{1.0}, up;  // nodes, Simpson weight times density
  double mean = 0.0, variance = 0.0, spent = 0.0;
  for (ReferenceLook& look : looks) {
    const double s = std::sqrt(look.variance - variance), shift = look.mean - mean;
    const auto crossing = [&](double b) {
      double p = 0.0;
      for (size_t m = 0; m < x.size(); ++m) p += w[m] * upperTail((b - x[m] - shift) / s);
      return p;
    };
    const double sd = std::sqrt(look.variance);
    if (std::isnan(look.upper)) {  // the crossing falls as the bound rises
      double lo = look.mean - 2 * sd, hi = look.mean + 8 * sd;
      for (int i = 0; i < 60; ++i) {
        const double b = (lo + hi) / 2;
        (crossing(b) > look.spent - spent ? lo : hi) = b;
      }
      look.upper = (lo + hi) / 2;
    }
    spent += up.emplace_back(crossing(look.upper));
    if (&look == &looks.back()) break;
    const double a = std::isinf(look.lower) ? look.mean - 12 * sd : look.lower;
    const double h = (look.upper - a) / N;
    std::vector<double> y(N + 1), g(N + 1);
    for (int j = 0; j <= N; ++j) {
      y[j] = a + j * h;
      for (size_t m = 0; m < x.size(); ++m) g[j] += w[m] * phi((y[j] - x[m] - shift) / s) / s;
      g[j] *= h / 3.0 * (j == 0 || j == N ? 1 : j % 2 ? 4 : 2);
    }
    x.swap(y);
    w.swap(g);
    mean = look.mean;
    variance = look.variance;
  }
  return up;
}

}  // namespace survseq::testing
