#pragma once

// The analytic (asymptotic) power of a design: per statistic and look, the expected
// calendar time and events, the planned boundaries, and the cumulative probabilities of
// rejecting under the design's alternative and under the null hypothesis.
//
// Method: the statistics' joint normal law from the moments of law/expected_moments.h
// (Schoenfeld 1981; Tsiatis 1982; Hasegawa 2014), and the crossing probabilities of the
// planned boundaries by the recursion of crossing_probability.h (Armitage, McPherson
// and Rowe 1969; Jennison and Turnbull 2000, chapter 19). The boundaries shown are the
// planned ones (bounds::plannedBoundaries at the design's planned information,
// bounds/planned_information.h), taken from the same looks and the same information as
// the simulation's planned table. A simulated trial recomputes its boundaries from its
// own observed information on that planned scale, so the crossing probabilities use the
// critical values of a trial that observes the expected information: under the
// alternative its limit v_k at the look's expected time, under the null the null's at
// the time the look is expected there. What is left out is the spread of each trial's
// information around it.
// A statistic stops at the first look where Z reaches the efficacy bound (or, two-sided,
// -Z does) or where Z lies below the futility bound; power counts rejections only.

#include <array>
#include <cstdint>
#include <optional>

#include "input/design_parameters.h"
#include "law/expected_moments.h"
#include "plan/combination_power.h"

namespace survseq::plan {

struct AnalyticLook {
  double expectedTime = 0.0;
  double expectedEvents = 0.0;
  float informationFraction = 0.0f;
  float efficacyZ = 0.0f;
  float nominalP = 0.0f;
  bool hasFutilityBound = false;
  float futilityZ = 0.0f;
  double cumulativePower = 0.0;
  double cumulativeTypeOneError = 0.0;
  // P(the statistic has stopped by this look, for efficacy or futility).
  double cumulativeStopAlternative = 0.0;
  double cumulativeStopNull = 0.0;
};

struct AnalyticStatistic {
  float rho = 0.0f;
  float tau = 0.0f;
  double power = 0.0;
  std::array<AnalyticLook, input::MaxAnalyses + 1> looks{};  // [1..K]
};

struct AnalyticPlan {
  float accrualRate = 0.0f;
  int32_t patients = 0;
  int32_t statisticCount = 0;
  int32_t analysisCount = 0;
  std::array<AnalyticStatistic, input::MaxStatistics + 1> statistics{};  // [1..count]
  // A design with a combination of statistics only (planOfDesign fills it).
  std::optional<AnalyticCombination> combination;
};

// Everything about a design's analytic power that does not change with the number of
// patients when the looks are at calendar times: the moments per patient and the
// boundaries. Event targets move the looks with the patients, so for them it is worked
// out at the model's own number of patients.
class AnalyticModel {
 public:
  AnalyticModel(const input::DesignParameters& design, double patients);

  // The analytic power of statistic `statistic` with `patients` patients (the looks and
  // boundaries stay those of the model's own size).
  double power(int32_t statistic, double patients) const;

  // The whole plan with `patients` patients at `rate`.
  AnalyticPlan plan(float rate, double patients) const;

 private:
  struct StatisticModel {
    std::array<law::PatientMoments, input::MaxAnalyses + 1> alternative{};
    std::array<law::PatientMoments, input::MaxAnalyses + 1> null{};
    std::array<AnalyticLook, input::MaxAnalyses + 1> looks{};
    input::AnalysisValues alternativeCritical{};  // at the expected information
    input::AnalysisValues nullCritical{};
  };
  void crossings(const StatisticModel& model, double patients, AnalyticStatistic& out,
                 bool underNullToo) const;

  const input::DesignParameters* design_;
  std::array<StatisticModel, input::MaxStatistics + 1> statistics_{};
};

// The patients of the design at `rate`, as a real (rate x the accrual weight), and the
// rate of a real number of patients.
double patientsOf(const input::DesignParameters& design, double rate);
double rateOf(const input::DesignParameters& design, double patients);

}  // namespace survseq::plan
