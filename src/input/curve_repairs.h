#pragma once

// The defaults and repairs of the survival curves, the hazard-ratio alternative and
// the drop-in and drop-out tables, each run right after its own line of the
// parameter file (the check numbers in the comments are the reader's order).

#include <cstdint>
#include <iosfwd>

#include "input/design_parameters.h"

namespace survseq::input {

// Replaces cut points 1..count by i * largest / count: the given values are dropped
// even where they were positive.
void spaceCutPointsEvenly(IntervalValues& cutPoints, int32_t count, double largest);

// Line 74: no baseline interval means one; x[0] = 0 in every case. (C14)
void repairBaselineIntervalCount(DesignParameters& design, std::ostream& console);
// Line 78: a last baseline cut point of 1e-10 or less spaces the cut points evenly
// up to 10; s[0] = 1 in every case. (C15)
void repairBaselineCutPoints(DesignParameters& design, std::ostream& console);
// Lines 83, 113, 124 and 135: a last survival value of 0.00001 or less is raised to
// 0.00001. (C16, C21, C24, C27)
void repairLastSurvivalValue(SurvivalCurve& curve, std::ostream& console);
// Line 100: no hazard-ratio interval, or fewer, means one. (C18)
void repairHazardRatioCount(DesignParameters& design, std::ostream& console);
// Line 103: a last hazard-ratio cut point of 1e-10 or less spaces the cut points
// evenly up to 10. (C19)
void repairHazardRatioCuts(DesignParameters& design, std::ostream& console);
// Before line 113 when it holds a survival curve: the treatment curve lives on the
// hazard-ratio intervals.
void prepareAlternativeCurve(DesignParameters& design);
// Line 113 when it holds hazard ratios: each ratio of 1e-10 or less becomes 1. (C20)
void repairHazardRatios(DesignParameters& design, std::ostream& console);
// Line 118: no control censoring interval, or fewer, means one; x[0] = 0. Its
// message alone has no leading blank. (C22)
void repairControlCensoringCount(DesignParameters& design, std::ostream& console);
// Line 129: the same for the treatment censoring curve. (C25)
void repairTreatmentCensoringCount(DesignParameters& design, std::ostream& console);
// Lines 121 and 132: a last censoring cut point of 1e-8 or less spaces the cut points
// evenly up to 20; s[0] = 1. (C23, C26)
void repairCensoringCutPoints(SurvivalCurve& curve, std::ostream& console);
// Lines 140 and 148: no drop-in or drop-out point, or fewer, means one. (C28, C29)
void repairDropPointCount(int32_t& count, std::ostream& console);

}  // namespace survseq::input
