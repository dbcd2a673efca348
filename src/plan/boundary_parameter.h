#pragma once

// The b that the simulation's boundaries use, for the analytic power to use the same: the
// rule of bounds/boundary_parameter.h, applied to the planned information of every
// statistic at once.

#include "bounds/planned_information.h"
#include "input/design_parameters.h"

namespace survseq::plan {

// `planned[s]` the planned information of statistic s at the looks. A RunError when b
// would have to pass 50, as in the simulation.
float boundaryParameter(const input::DesignParameters& design,
                        const bounds::PlannedInformationTable& planned);

}  // namespace survseq::plan
