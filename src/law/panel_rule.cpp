#include "law/panel_rule.h"

#include <cmath>
#include <numbers>

namespace survseq::law {

namespace {

PanelRule legendreRule() {
  PanelRule rule;
  constexpr int n = kPanelNodes;
  for (int i = 1; i <= n; ++i) {
    double x = std::cos(std::numbers::pi * (i - 0.25) / (n + 0.5));
    double derivative = 0.0;
    for (int iteration = 0; iteration < 100; ++iteration) {
      // P_n(x) and P_n'(x) by the three-term recurrence.
      double previous = 1.0;
      double current = x;
      for (int k = 2; k <= n; ++k) {
        const double next = ((2.0 * k - 1.0) * x * current - (k - 1.0) * previous) / k;
        previous = current;
        current = next;
      }
      derivative = n * (x * current - previous) / (x * x - 1.0);
      const double step = current / derivative;
      x -= step;
      if (std::fabs(step) < 1e-16) break;
    }
    // The roots come out descending; store them ascending.
    const auto slot = static_cast<size_t>(n - i);
    rule.node[slot] = x;
    rule.weight[slot] = 2.0 / ((1.0 - x * x) * derivative * derivative);
  }
  return rule;
}

}  // namespace

const PanelRule& panelRule() {
  static const PanelRule rule = legendreRule();
  return rule;
}

}  // namespace survseq::law
