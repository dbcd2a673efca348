#pragma once

// The b that the simulation's boundaries use, for the analytic power to use the same: the
// rule of bounds/boundary_parameter.h, applied to the planned information of every
// statistic at once.

#include <array>

#include "input/design_parameters.h"

namespace survseq::plan {

using PlannedInformation = std::array<input::AnalysisValues, input::MaxStatistics + 1>;

// `planned[s]` the null variances of statistic s at the looks. A RunError when b would
// have to pass 50, as in the simulation.
float boundaryParameter(const input::DesignParameters& design, const PlannedInformation& planned);

}  // namespace survseq::plan
