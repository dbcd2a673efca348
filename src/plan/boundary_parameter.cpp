#include "plan/boundary_parameter.h"

#include <cmath>
#include <string>

#include "bounds/boundary_computation.h"
#include "bounds/normal_distribution.h"
#include "bounds/trial_boundaries.h"
#include "report/run_error.h"

namespace survseq::plan {

namespace {

constexpr float kBStep = 0.1f;
constexpr float kSmallestUsableB = 0.001f;
constexpr float kDefaultB = 3.0f;
constexpr float kLargestB = 50.0f;
constexpr int32_t kHaybittleBLine = 54;

float raised(float b) {
  const float next = b + kBStep;
  if (next > kLargestB) {
    throw RunError("b was raised past " + std::to_string(static_cast<int>(kLargestB)) +
                       " without meeting the type-I error of line 40; the design cannot spend so "
                       "little error",
                   kHaybittleBLine);
  }
  return next;
}

float useFunctionBError(float b, float m) {
  const double phi = bounds::normalDensity(b);
  return static_cast<float>(4.0 * phi / b + (double(b) - 1.0 / double(b)) * phi * m);
}

}  // namespace

float boundaryParameter(const input::DesignParameters& design, const PlannedInformation& planned) {
  const int32_t K = design.analysisCount;
  float b = design.haybittleB;
  if (design.boundaryMethod == input::Haybittle) {
    input::AnalysisValues split = design.errorSplit;
    split[K] = static_cast<float>(double(design.typeIError) / 3.0);
    for (int32_t s = 1; s <= design.statisticCount; ++s) {
      for (;;) {
        input::AnalysisValues critical{};
        for (int32_t k = 1; k <= K; ++k) critical[k] = b;
        int32_t failed = 0;
        bounds::computeBoundary(K, planned[static_cast<size_t>(s)], split, design.sides, failed,
                                critical);
        if (failed != 1) break;
        b = raised(b);
      }
    }
  }
  if (design.boundaryMethod == input::LanDeMets && input::usesHaybittleTypeFunction(design)) {
    if (b < kSmallestUsableB) b = kDefaultB;
    float largestLogRatio = 0.0f;
    for (int32_t s = 1; s <= design.statisticCount; ++s) {
      const input::AnalysisValues& v = planned[static_cast<size_t>(s)];
      const float logRatio = static_cast<float>(
          std::log(double(v[K]) / double(bounds::kInformationFloorShare * v[1])));
      if (logRatio > largestLogRatio) largestLogRatio = logRatio;
    }
    while (useFunctionBError(b, largestLogRatio) > design.typeIError) b = raised(b);
  }
  return b;
}

}  // namespace survseq::plan
