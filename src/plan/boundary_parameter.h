#pragma once

// The b that the simulation's boundaries use, for the analytic power to use the same:
// a Haybittle design raises b in steps of 0.1 until a last critical value exists on the
// planned information of every statistic; the use function with parameter b starts from
// 3 when b is unusable and raises it until the error it spends by the largest planned
// information ratio, (b - 1/b) phi(b) L + 4 phi(b) / b, is within the type-I error. The
// rule is the simulation pass's, applied to the planned information of the looks.

#include <array>

#include "input/design_parameters.h"

namespace survseq::plan {

using PlannedInformation = std::array<input::AnalysisValues, input::MaxStatistics + 1>;

// `planned[s]` the null variances of statistic s at the looks. A RunError when b would
// have to pass 50, as in the simulation.
float boundaryParameter(const input::DesignParameters& design, const PlannedInformation& planned);

}  // namespace survseq::plan
