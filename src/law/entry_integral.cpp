#include "law/entry_integral.h"

#include <algorithm>

#include "input/accrual_profile.h"
#include "law/panel_rule.h"

namespace survseq::law {

void appendCurveCuts(const input::SurvivalCurve& curve, std::vector<double>& cuts) {
  for (int32_t i = 1; i <= curve.count; ++i) cuts.push_back(double(curve.x[i]));
}

std::vector<double> controlAndCensoringCuts(const input::DesignParameters& design) {
  std::vector<double> cuts;
  appendCurveCuts(design.baselineCurve, cuts);
  appendCurveCuts(design.censoringControl, cuts);
  appendCurveCuts(design.censoringTreatment, cuts);
  return cuts;
}

double hazardAt(const sim::CurveHazards& curve, double t) {
  const int32_t count = curve.curve->count;
  if (count == 0) return 0.0;
  int32_t i = 1;
  while (i < count && t > double(curve.curve->x[i])) ++i;
  return double(curve.hazard[static_cast<size_t>(i)]);
}

double integrateOverEntries(const input::DesignParameters& design, double time,
                            std::vector<double> cuts, const std::function<double(double)>& h) {
  if (!(time > 0.0)) return 0.0;
  // Where the entered share G(T - u) bends: u = T - (end of each accrual piece).
  double pieceEnd = 0.0;
  if (design.accrualPieceCount == 0) {
    cuts.push_back(time - double(design.accrualPeriod));
  } else {
    for (int32_t i = 1; i <= design.accrualPieceCount; ++i) {
      pieceEnd += double(design.accrualPieceDurations[i]);
      cuts.push_back(time - pieceEnd);
    }
  }
  cuts.push_back(0.0);
  std::erase_if(cuts, [time](double c) { return !(c >= 0.0 && c < time); });
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  // The tail after the last bend in parts doubling from a tenth of the span before it.
  double step = std::max(cuts.back(), double(design.accrualPeriod)) / 10.0;
  if (!(step > 0.0)) step = time / 10.0;
  for (double next = cuts.back() + step; next < time; step *= 2.0, next += step) {
    cuts.push_back(next);
  }
  cuts.push_back(time);

  const auto integrand = [&](double u) { return h(u) * input::enrolledShareBy(design, time - u); };
  double sum = 0.0;
  for (size_t i = 1; i < cuts.size(); ++i) {
    forEachPanelNode(cuts[i - 1], cuts[i], [&](double u, double w) { sum += w * integrand(u); });
  }
  return sum;
}

}  // namespace survseq::law
