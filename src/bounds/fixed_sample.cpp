#include "bounds/fixed_sample.h"

#include "bounds/boundary_computation.h"
#include "bounds/normal_distribution.h"

namespace survseq::bounds {

float fixedSampleCriticalValue(float error, int32_t sides) {
  int32_t fault = 0;
  const float critical =
      normalQuantile(static_cast<float>(1.0 - double(error) / double(sides)), fault);
  return fault == 1 ? kBoundaryCap : critical;
}

}  // namespace survseq::bounds
