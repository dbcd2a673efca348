#include "law/expected_moments.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "input/accrual_profile.h"
#include "law/panel_rule.h"

// The panels and sums of expected_moments.h.

namespace survseq::law {

namespace {

// Shares at risk below this count as none: no information, and the pooled hazard stops.
constexpr double kNoneAtRisk = 1e-300;
// Past the time at which this share is still at risk (both arms), events, drift and
// information add nothing a double could hold beside what came before: the sums stop.
constexpr double kNegligibleAtRisk = 1e-30;
// A panel spans at most this many times the inverse of the hazards summed on it.
constexpr double kPanelHazardSpan = 2.0;
constexpr int32_t kMostPanelsPerPart = 4096;
// The first panel is split in halves this many times towards 0.
constexpr int32_t kGradedPanels = 16;
// A target not reached this many accrual periods on is never reached.
constexpr double kFarthestPeriods = 1.0e4;

double weightOf(double pooledSurvival, float rho, float tau) {
  double w = 1.0;
  if (rho != 0.0f) w *= std::pow(pooledSurvival, double(rho));
  if (tau != 0.0f) w *= std::pow(1.0 - pooledSurvival, double(tau));
  return w;
}

void appendPoints(const input::SurvivalCurve& curve, std::vector<double>& points) {
  for (int32_t i = 1; i <= curve.count; ++i) points.push_back(double(curve.x[i]));
}

std::vector<double> bendsOf(const input::DesignParameters& design, const ArmLaw& control,
                            const ArmLaw& treatment) {
  std::vector<double> bends;
  control.appendJumps(bends);
  treatment.appendJumps(bends);
  appendPoints(design.baselineCurve, bends);
  appendPoints(design.censoringControl, bends);
  appendPoints(design.censoringTreatment, bends);
  if (input::hazardRatiosGiven(design)) {
    for (int32_t k = 1; k <= design.hazardRatioCount; ++k) bends.push_back(design.hazardRatioCuts[k]);
  } else {
    appendPoints(design.alternativeCurve, bends);
  }
  for (int32_t k = 1; k <= design.dropInCount; ++k) bends.push_back(design.dropInTimes[k]);
  for (int32_t k = 1; k <= design.dropOutCount; ++k) bends.push_back(design.dropOutTimes[k]);
  std::erase_if(bends, [](double b) { return !(b > 0.0) || !std::isfinite(b); });
  std::sort(bends.begin(), bends.end());
  bends.erase(std::unique(bends.begin(), bends.end()), bends.end());
  return bends;
}

// The integral over (a, b) of f by the panel rule.
template <typename F>
double panelIntegral(double a, double b, const F& f) {
  double sum = 0.0;
  forEachPanelNode(a, b, [&](double t, double w) { sum += w * f(t); });
  return sum;
}

}  // namespace

ExpectedMoments::ExpectedMoments(const input::DesignParameters& design, Hypothesis hypothesis)
    : design_(&design),
      null_(hypothesis == Hypothesis::Null),
      laws_(design, null_),
      control_(design, laws_, false),
      treatment_(design, laws_, true),
      controlShare_(input::controlShare(design)),
      treatmentShare_(input::treatmentShare(design)),
      bends_(bendsOf(design, control_, treatment_)) {}

ExpectedMoments::Rates ExpectedMoments::ratesAt(double t) const {
  const ArmPoint a0 = control_.at(t);
  const ArmPoint a1 = treatment_.at(t);
  const double c0 = curveSurvival(design_->censoringControl, t);
  const double c1 = curveSurvival(design_->censoringTreatment, t);
  return {controlShare_ * c0 * a0.survival, treatmentShare_ * c1 * a1.survival,
          controlShare_ * c0 * a0.density, treatmentShare_ * c1 * a1.density};
}

// The shares at risk only fall with time, so nothing after t counts either.
bool ExpectedMoments::negligibleFrom(double t) const {
  const Rates r = ratesAt(t);
  return r.q0 + r.q1 < kNegligibleAtRisk;
}

double ExpectedMoments::pooledHazard(double t) const {
  const Rates r = ratesAt(t);
  const double atRisk = r.q0 + r.q1;
  return atRisk > kNoneAtRisk ? (r.r0 + r.r1) / atRisk : 0.0;
}

// The hazards of every curve at t added up: the rate at which the integrands may change.
double ExpectedMoments::hazardSum(double t) const {
  const input::DesignParameters& d = *design_;
  double largestRatio = 1.0;
  if (input::hazardRatiosGiven(d)) {
    for (int32_t k = 1; k <= d.hazardRatioCount; ++k) {
      largestRatio = std::max(largestRatio, double(d.hazardRatios[k]));
    }
  }
  const double control = curveHazard(d.baselineCurve, t);
  const double treatment =
      input::hazardRatiosGiven(d) ? largestRatio * control : curveHazard(d.alternativeCurve, t);
  return control + treatment + curveHazard(d.censoringControl, t) +
         curveHazard(d.censoringTreatment, t);
}

std::vector<double> ExpectedMoments::panelEnds(double analysisTime) const {
  const double T = analysisTime;
  std::vector<double> cuts = {0.0, T};
  for (const double bend : bends_) {
    if (bend < T) cuts.push_back(bend);
  }
  // Where the enrolled share G(T - t) bends: t = T - (end of each accrual piece).
  double pieceEnd = 0.0;
  if (design_->accrualPieceCount == 0) {
    cuts.push_back(T - double(design_->accrualPeriod));
  } else {
    for (int32_t i = 1; i <= design_->accrualPieceCount; ++i) {
      pieceEnd += double(design_->accrualPieceDurations[i]);
      cuts.push_back(T - pieceEnd);
    }
  }
  std::erase_if(cuts, [T](double c) { return !(c >= 0.0 && c <= T); });
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

  std::vector<double> ends = {0.0};
  for (size_t i = 1; i < cuts.size(); ++i) {
    const double a = cuts[i - 1];
    const double b = cuts[i];
    const double span = (b - a) * hazardSum((a + b) / 2.0) / kPanelHazardSpan;
    const int32_t panels =
        std::clamp(static_cast<int32_t>(std::ceil(span)), 1, kMostPanelsPerPart);
    if (i == 1) {
      const double first = a + (b - a) / panels;
      for (int32_t k = kGradedPanels; k >= 1; --k) ends.push_back(first * std::ldexp(1.0, -k));
    }
    for (int32_t k = 1; k < panels; ++k) ends.push_back(a + (b - a) * k / panels);
    ends.push_back(b);
  }
  return ends;
}

double ExpectedMoments::eventsBy(double analysisTime) const {
  if (!(analysisTime > 0.0)) return 0.0;
  const std::vector<double> ends = panelEnds(analysisTime);
  double events = 0.0;
  for (size_t p = 1; p < ends.size(); ++p) {
    if (negligibleFrom(ends[p - 1])) break;
    forEachPanelNode(ends[p - 1], ends[p], [&](double t, double w) {
      const double g = input::enrolledShareBy(*design_, analysisTime - t) * w;
      if (g == 0.0) return;
      const Rates r = ratesAt(t);
      events += g * (r.r0 + r.r1);
    });
  }
  return events;
}

PatientMoments ExpectedMoments::at(double analysisTime, float rho, float tau) const {
  PatientMoments sums;
  if (!(analysisTime > 0.0)) return sums;
  const bool weighted = rho != 0.0f || tau != 0.0f;
  // Under the alternative the pooled survival is carried from panel to panel.
  const bool carried = weighted && !null_;
  const auto pooledHazardAt = [this](double t) { return pooledHazard(t); };
  double cumulativeHazard = 0.0;  // at the start of the panel

  const std::vector<double> ends = panelEnds(analysisTime);
  for (size_t p = 1; p < ends.size(); ++p) {
    const double a = ends[p - 1];
    if (negligibleFrom(a)) break;
    forEachPanelNode(a, ends[p], [&](double t, double width) {
      const double g = input::enrolledShareBy(*design_, analysisTime - t) * width;
      if (g == 0.0) return;
      const Rates r = ratesAt(t);
      sums.events += g * (r.r0 + r.r1);
      const double atRisk = r.q0 + r.q1;
      if (!(atRisk > kNoneAtRisk)) return;
      double w = 1.0;
      if (weighted) {
        const double pooledSurvival =
            carried ? std::exp(-(cumulativeHazard + panelIntegral(a, t, pooledHazardAt)))
                    : laws_.controlSurvival(t);
        w = weightOf(pooledSurvival, rho, tau);
      }
      sums.drift += g * w * (r.q1 * r.r0 - r.q0 * r.r1) / atRisk;
      sums.information += g * w * w * r.q0 * r.q1 * (r.r0 + r.r1) / (atRisk * atRisk);
    });
    if (carried) cumulativeHazard += panelIntegral(a, ends[p], pooledHazardAt);
  }
  return sums;
}

double ExpectedMoments::timeOfEvents(double patients, double events) const {
  if (!(events > 0.0)) return 0.0;
  const auto reached = [&](double time) { return patients * eventsBy(time) >= events; };
  double low = 0.0;
  double high = std::max(input::entryTimeAtShare(*design_, 1.0), 1.0);
  const double farthest = high * kFarthestPeriods;
  while (!reached(high)) {
    low = high;
    high *= 2.0;
    if (high > farthest) return std::numeric_limits<double>::infinity();
  }
  while (high - low > 1.0e-12 * high) {
    const double middle = (low + high) / 2.0;
    (reached(middle) ? high : low) = middle;
  }
  return high;
}

}  // namespace survseq::law
