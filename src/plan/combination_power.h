#pragma once

// The analytic companion of the combination of statistics (the max-combo test): its
// planned bounds and its power look by look.
//
// Method: the combined scores at the looks are jointly normal (Tsiatis 1982; the
// covariances of bounds/planned_combination.h), Z_jk with mean sqrt(N) m_jk / sqrt(v_jk)
// under the alternative (law/expected_moments.h) and correlation
// C_jj'(min(k, k')) / sqrt(C_jj(k) C_j'j'(k')). A trial under the alternative is taken to
// observe the expected covariances, so its critical values are those a trial computes from
// them (as the single statistics' analytic power does with their expected information). The
// chance of rejecting at look k is a difference of normal box probabilities
// (bounds/multivariate_normal.h, Genz and Bretz 2009) with the limits shifted by the means;
// one-sided, a futility bound f_i makes "go on at look i" the difference of the boxes
// M_i < c_i and M_i < f_i, so the probability is a signed sum over the subsets of the
// earlier looks (inclusion and exclusion), 2^(k-1) boxes.

#include <array>

#include "input/design_parameters.h"

namespace survseq::plan {

struct AnalyticCombinationLook {
  float efficacyZ = 0.0f;  // planned, on the design's planned-information scale
  float nominalP = 0.0f;
  float alternativeCriticalValue = 0.0f;  // of a trial that observes the expected covariances
  double cumulativePower = 0.0;
};

struct AnalyticCombination {
  double power = 0.0;
  std::array<AnalyticCombinationLook, input::MaxAnalyses + 1> looks{};  // [1..K]
};

// The combination of the design's combined statistics with `patients` patients at `rate`.
AnalyticCombination analyticCombination(const input::DesignParameters& design, float rate,
                                        double patients);

}  // namespace survseq::plan
