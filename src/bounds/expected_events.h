#pragma once

#include "input/design_parameters.h"

namespace survseq::bounds {

// Expected number of events in both arms by calendar time `time` in a trial at accrual
// rate `rate`, under the design's alternative, with its censoring, allocation and accrual
// pieces (drop-in and drop-out are left out).
double expectedEvents(const input::DesignParameters& design, float rate, double time);

// The calendar time at which expectedEvents reaches `events`; +infinity when it never does.
double timeOfExpectedEvents(const input::DesignParameters& design, float rate, double events);

}  // namespace survseq::bounds
