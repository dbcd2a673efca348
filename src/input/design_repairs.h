#pragma once

// The defaults and repairs of the single values and the analysis tables, each run
// right after its own line of the parameter file (the check numbers in the comments
// are the reader's order). Text-only messages are plain lines on `console`.

#include <iosfwd>

#include "input/design_parameters.h"

namespace survseq::input {

// Line 11: a boundary method of 0 means Lan-DeMets. (C1)
void repairBoundaryMethod(DesignParameters& design, std::ostream& console);
// Line 17: a seed of 0 is replaced by -123457. (C2)
void repairSeed(DesignParameters& design, std::ostream& console);
// Line 20: one analysis or fewer is the non-sequential design, said even for 1. (C3)
void repairAnalysisCount(DesignParameters& design, std::ostream& console);
// Line 23: a last analysis at time 0 or before is moved to 10. (C4)
void repairLastAnalysisTime(DesignParameters& design, std::ostream& console);
// Line 26: no statistic means one. (C5)
void repairStatisticCount(DesignParameters& design, std::ostream& console);
// Line 33: the information limits of the statistics start at 0. (C6)
void clearInformationLimits(DesignParameters& design);
// Line 37: no simulations means 1000. (C7)
void repairSimulationCount(DesignParameters& design, std::ostream& console);
// Line 40: a type-I error of 1e-10 or less means 0.05. (C8)
void repairTypeIError(DesignParameters& design, std::ostream& console);
// Line 43: 0 sides means a two-sided test. (C9)
void repairSides(DesignParameters& design, std::ostream& console);
// Line 49: with the error-split method the e's become cumulative error, compared
// with the type-I error. (C10)
void accumulateErrorSplit(DesignParameters& design, std::ostream& console);
// Line 54: the b in use is the one given when it is above 1, else 3. (C11)
void chooseHaybittleB(DesignParameters& design, std::ostream& console);
// Line 61: boundary values below 0.00001 become 1.96, silently. (C12)
void repairBoundaryValues(DesignParameters& design);
// Line 70: a use-function code of 0 or less means O'Brien-Fleming. (C13)
void repairUseFunction(DesignParameters& design, std::ostream& console);
// Line 88: accrual values of exactly 0 take their defaults, silently, and the search
// starts at the upper rate. (C17)
void repairAccrual(DesignParameters& design);

}  // namespace survseq::input
