#include "run/analytic_power_curve.h"

#include <algorithm>
#include <optional>

#include "plan/analytic_power.h"
#include "report/run_error.h"

namespace survseq::run {

Axis searchRateAxis(const input::DesignParameters& design, const search::RunRecord& record,
                    double pixelLow, double pixelHigh) {
  double low = design.accrualRateLower;
  double high = design.accrualRateUpper;
  for (const auto& iteration : record.iterations) {
    low = std::min(low, double(iteration.accrualRate));
    high = std::max(high, double(iteration.accrualRate));
  }
  return roundAxis(low, high, pixelLow, pixelHigh, 6);
}

AnalyticPowerCurve analyticPowerCurve(const input::DesignParameters& design, const Axis& rates,
                                      int32_t points) {
  // Looks at calendar times keep their moments and boundaries at every size, so one model
  // serves the whole curve; fixed event targets move the looks with the patients.
  const bool oneModel = design.analysisTiming != input::AnalysisTiming::FixedEvents;
  std::optional<plan::AnalyticModel> shared;
  AnalyticPowerCurve curve;
  for (int32_t i = 0; i < points; ++i) {
    const double share = points > 1 ? double(i) / (points - 1) : 0.0;
    const auto rate = static_cast<float>(rates.low + share * (rates.high - rates.low));
    const double patients = plan::patientsOf(design, rate);
    if (!(patients >= 1.0)) continue;
    try {
      if (!oneModel) {
        curve.push_back({rate, plan::AnalyticModel(design, patients).power(1, patients)});
        continue;
      }
      if (!shared) shared.emplace(design, patients);
      curve.push_back({rate, shared->power(1, patients)});
    } catch (const RunError&) {
      // The looks wait for more events than these patients are expected to give.
    }
  }
  return curve;
}

}  // namespace survseq::run
