#include "bounds/boundary_parameter.h"

#include <string>

#include "bounds/boundary_computation.h"
#include "bounds/normal_distribution.h"
#include "report/run_error.h"

namespace survseq::bounds {

namespace {

constexpr float kBStep = 0.1f;
constexpr float kLargestB = 50.0f;
constexpr int32_t kHaybittleBLine = 54;

}  // namespace

float raisedB(float b) {
  const float next = b + kBStep;
  if (next > kLargestB) {
    throw RunError("b was raised past " + std::to_string(static_cast<int>(kLargestB)) +
                       " without meeting the type-I error; the design cannot spend so "
                       "little error",
                   kHaybittleBLine);
  }
  return next;
}

float useFunctionBError(float b, float m) {
  const double phi = normalDensity(b);
  return static_cast<float>(4.0 * phi / b + (double(b) - 1.0 / double(b)) * phi * m);
}

bool haybittleBoundary(const input::DesignParameters& design, const input::AnalysisValues& v,
                       float b, input::AnalysisValues& errorSplit,
                       input::AnalysisValues& critical) {
  const int32_t K = design.analysisCount;
  errorSplit[K] = static_cast<float>(double(design.typeIError) / 3.0);
  for (int32_t k = 1; k <= K; ++k) critical[k] = b;
  int32_t boundaryFailed = 0;
  computeBoundary(K, v, errorSplit, design.sides, boundaryFailed, critical);
  return boundaryFailed != 1;
}

}  // namespace survseq::bounds
