#include "plan/boundary_parameter.h"

#include <cmath>

#include "bounds/boundary_parameter.h"
#include "bounds/trial_boundaries.h"

namespace survseq::plan {

float boundaryParameter(const input::DesignParameters& design,
                        const bounds::PlannedInformationTable& planned) {
  const int32_t K = design.analysisCount;
  float b = design.haybittleB;
  if (design.boundaryMethod == input::Haybittle) {
    input::AnalysisValues split = design.errorSplit;
    input::AnalysisValues critical{};
    for (int32_t s = 1; s <= design.statisticCount; ++s) {
      while (!bounds::haybittleBoundary(design, planned[static_cast<size_t>(s)], b, split,
                                        critical)) {
        b = bounds::raisedB(b);
      }
    }
  }
  if (design.boundaryMethod == input::LanDeMets && input::usesHaybittleTypeFunction(design)) {
    if (b < bounds::kSmallestUsableB) b = bounds::kDefaultB;
    float largestLogRatio = 0.0f;
    for (int32_t s = 1; s <= design.statisticCount; ++s) {
      const input::AnalysisValues& v = planned[static_cast<size_t>(s)];
      const float logRatio = static_cast<float>(
          std::log(double(v[K]) / double(bounds::kInformationFloorShare * v[1])));
      if (logRatio > largestLogRatio) largestLogRatio = logRatio;
    }
    while (bounds::useFunctionBError(b, largestLogRatio) > design.typeIError) {
      b = bounds::raisedB(b);
    }
  }
  return b;
}

}  // namespace survseq::plan
