#pragma once

// The parts of the keyed reader, each filling its fields of the design record from the
// document (`root`) and refusing what the positional reader would repair or refuse.
// Called in this order; each may rely on the fields the ones before it filled.

#include "input/design_parameters.h"
#include "input/keyed_values.h"

namespace survseq::input {

// [boundary] and [futility]; needs the analyses, the type-I error and the sides.
void readKeyedBoundary(const KeyedTable& root, DesignParameters& design);

// [accrual], allocation_ratio, and the accrual form that analysis_events needs.
void readKeyedAccrual(const KeyedTable& root, DesignParameters& design);

// [baseline_survival], [alternative], the censoring curves, [drop_in] and [drop_out].
void readKeyedCurves(const KeyedTable& root, DesignParameters& design);

// [combination]; needs the statistics, the boundary and the futility rule.
void readKeyedCombination(const KeyedTable& root, DesignParameters& design);

}  // namespace survseq::input
