#include "bounds/boundary_computation.h"

#include <cmath>

#include "bounds/boundary_search.h"
#include "bounds/fixed_sample.h"
#include "bounds/score_subdensity.h"

// The critical value of analysis k follows from the sub-densities of the score process
// (score_subdensity.h): starting at the first analysis that has information, g is
// carried from each retained analysis to the next through its continuation region,
// and at analysis k (information fraction 1, where score and statistic coincide) the
// search finds the c at which the integral of g_k over [0, c] equals the target.

namespace survseq::bounds {

namespace {

// Half the probability that a path stays inside all boundaries up to analysis k
// (two-sided), or 1/2 minus the probability that it crosses the upper one by then
// (one-sided, with the earlier boundaries taken as symmetric).
float searchTarget(float cumulativeError, int32_t sides) {
  if (sides == 1) return static_cast<float>(0.5 - double(cumulativeError));
  return static_cast<float>((1.0 - double(cumulativeError)) * 0.5);
}

}  // namespace

void informationFractions(int32_t k, const input::AnalysisValues& t,
                          input::AnalysisValues& fraction) {
  if (t[k] > kSmallestInformation) {
    for (int32_t j = 1; j <= k; ++j) fraction[j] = static_cast<float>(double(t[j]) / double(t[k]));
  } else {
    for (int32_t j = 1; j <= k; ++j) fraction[j] = static_cast<float>(double(j) / double(k));
  }
}

void computeBoundary(int32_t k, const input::AnalysisValues& t,
                     const input::AnalysisValues& errorSplit, int32_t sides,
                     int32_t& boundaryFailed, input::AnalysisValues& c) {
  boundaryFailed = 0;
  if (k == 1) {
    c[1] = fixedSampleCriticalValue(errorSplit[1], sides);
    return;
  }

  input::AnalysisValues fraction{};
  informationFractions(k, t, fraction);

  int32_t first = 1;
  // Written so that a fraction that is not a number (infinite information) is skipped.
  while (first < k && !(fraction[first] >= kSmallestFraction)) ++first;
  if (first == k) {  // no earlier analysis has information: k is in effect the first
    c[k] = fixedSampleCriticalValue(errorSplit[k], sides);
    return;
  }

  ScoreSubDensity g = firstSubDensity(fraction[first], c[first]);
  float retainedFraction = fraction[first];
  for (int32_t i = first + 1; i < k; ++i) {
    const float increment = fraction[i] - retainedFraction;
    if (increment < kSmallestIncrement) continue;
    const float sigma = static_cast<float>(std::sqrt(double(increment)));
    const float scoreBoundary = static_cast<float>(std::sqrt(double(fraction[i])) * double(c[i]));
    g = advanceSubDensity(g, sigma, scoreBoundary);
    retainedFraction = fraction[i];
  }

  // Analysis k must bring new information; if it does not (or less than an earlier
  // retained analysis), there is no density left to integrate.
  const float sigma = static_cast<float>(std::sqrt(1.0 - double(retainedFraction)));
  const BoundarySearchResult found =
      sigma > 0.0f ? searchCriticalValue(g, sigma, searchTarget(errorSplit[k], sides))
                   : BoundarySearchResult{kBoundaryCap, false};
  c[k] = found.criticalValue;
  if (!found.reached) boundaryFailed = 1;
}

}  // namespace survseq::bounds
