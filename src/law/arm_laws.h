#pragma once

// The event-time law of each arm as the simulation draws it, in closed form and double
// precision: survival S(t) and density f(t) = -S'(t) of the time from entry to the event,
// with drop-in (control patients switching to the treatment law) and drop-out (treatment
// patients switching to the control law) worked into the marginal law exactly, and the
// censoring survival of each arm. The curves are read as the simulation reads them:
// exponential between their points, the last hazard beyond the last point; the hazard-
// ratio alternative multiplies the baseline hazard by HR[k] on its interval and by 1
// after the last cut.

#include <array>
#include <cstdint>
#include <vector>

#include "input/design_parameters.h"

namespace survseq::law {

// S(t), f(t) and the hazard f(t) / S(t) of one piecewise-exponential curve.
double curveSurvival(const input::SurvivalCurve& curve, double t);
double curveDensity(const input::SurvivalCurve& curve, double t);
double curveHazard(const input::SurvivalCurve& curve, double t);

// The two arms' laws without switching: the baseline curve and the design's alternative.
struct EventLaws {
  explicit EventLaws(const input::DesignParameters& design, bool nullHypothesis = false);
  double controlSurvival(double t) const;
  double controlDensity(double t) const;
  double treatmentSurvival(double t) const;
  double treatmentDensity(double t) const;

 private:
  const input::DesignParameters* design_;
  bool null_;
  double hazardRatioAt(double t, double& factor) const;
};

// Survival and density of one arm at one time.
struct ArmPoint {
  double survival = 1.0;
  double density = 0.0;
};

// The treatment arm or the control arm of the design, with its switches. A patient
// draws u, takes the time of u under the arm's own law, and at each drop point passed
// before that time (in the order of the points) switches with the point's probability
// to the other law: the time of the same u under it if that lies beyond the point,
// otherwise a time drawn from the other law given survival past the point. The marginal
// law follows by splitting u at the own law's survival at the drop points, within which
// the points passed, and so the switching probabilities, are fixed. Under the null
// hypothesis both arms follow the baseline curve and switching changes nothing.
class ArmLaw {
 public:
  ArmLaw(const input::DesignParameters& design, const EventLaws& laws, bool treatment);
  ArmPoint at(double t) const;

  // The times, besides the drop points, at which the density jumps: where the other law's
  // survival passes the bound of a cell, so that a switching patient's coupled time
  // enters or leaves the cell.
  void appendJumps(std::vector<double>& times) const;

 private:
  // A range (low, high) of u within which the same drop points are passed.
  struct Cell {
    double low = 0.0;
    double high = 1.0;
    double stay = 1.0;  // probability of no switch
    int32_t switchCount = 0;
    std::array<double, input::MaxDropPoints> switchProbability{};
    std::array<double, input::MaxDropPoints> otherAtPoint{};  // other law's S at the point
  };
  const EventLaws* laws_;
  bool treatment_;
  int32_t cellCount_ = 1;
  std::array<Cell, input::MaxDropPoints + 1> cells_{};
};

}  // namespace survseq::law
