#pragma once

// The combination of statistics (the max-combo test) as planned: the covariances of the
// combined scores a trial is expected to observe, the critical values a trial observing
// them computes, and the planned boundary table of the combination.
//
// The expected covariance of the scores of FH(r1, t1) and FH(r2, t2) at a look is the
// expected information of FH((r1 + r2) / 2, (t1 + t2) / 2) there: the covariance sums
// w1 w2 times the at-risk variance term where the information sums w^2
// (law/expected_moments.h).

#include <array>

#include "bounds/combination_boundaries.h"
#include "bounds/planned_boundaries.h"
#include "bounds/planned_information.h"
#include "input/design_parameters.h"
#include "law/expected_moments.h"
#include "sim/score_covariance.h"

namespace survseq::bounds {

using CombinationCovariances = std::array<sim::ScoreCovariance, input::MaxAnalyses + 1>;  // [1..K]

// The covariances `patients` patients are expected to give at the looks at `times` under
// `moments`, for the design's combined statistics.
CombinationCovariances expectedCombinationCovariances(const input::DesignParameters& design,
                                                      const law::ExpectedMoments& moments,
                                                      const input::AnalysisValues& times,
                                                      double patients);

// The critical values c_1..c_K a trial computes when it observes `covariances`, its first
// combined statistic's information being `firstInformation` at the looks, on the planned
// scale of that statistic `firstPlanned` (its floor and ceiling), b being the pass's b.
input::AnalysisValues combinationCriticalValues(const input::DesignParameters& design,
                                                const CombinationCovariances& covariances,
                                                const input::AnalysisValues& firstInformation,
                                                const input::AnalysisValues& firstPlanned,
                                                float b);

// The combination's planned boundaries at `rate`: the critical values of a trial that
// observes the covariances expected on the design's planned-information scale (under the
// alternative at the looks' expected times, under the null at the null's; the original
// null variance takes the null's law at the looks' times), with the information fractions
// of the first combined statistic's planned information.
PlannedLooks plannedCombinationBoundaries(const input::DesignParameters& design, float rate,
                                          const LookSchedule& looks,
                                          const PlannedInformationTable& planned, float b);

}  // namespace survseq::bounds
