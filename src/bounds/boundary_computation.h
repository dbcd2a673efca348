#pragma once

#include <cstdint>

#include "input/design_parameters.h"

namespace survseq::bounds {

// A critical value that cannot be crossed in practice, and the upper end of the
// boundary search.
inline constexpr float kBoundaryCap = 5.0f;

// Cumulative type-I error that use function `useFunction` allows at information
// fraction `fraction` (information `information`, floor `floor`, parameter b).
float spentError(int32_t useFunction, float typeIError, float fraction, float information,
                 float floor, float b);

// Cumulative type-I error of the design's spending function at information fraction
// `fraction`: its coded use function (with b = design.haybittleB), or the
// Hwang-Shih-DeCani or Kim-DeMets family with the design's parameter.
float designSpentError(const input::DesignParameters& design, float fraction, float information,
                       float floor);

// At or below this last information the values carry no scale, and the analyses are
// taken as equally spaced.
inline constexpr float kSmallestInformation = 1.0e-4f;
// Leading analyses with a smaller information fraction have seen nothing and are skipped.
inline constexpr float kSmallestFraction = 1.0e-8f;
// An interim analysis this close to the previous retained one adds nothing.
inline constexpr float kSmallestIncrement = 1.0e-5f;

// The information t[1..k] of analyses 1..k as fractions of that of analysis k.
void informationFractions(int32_t k, const input::AnalysisValues& t,
                          input::AnalysisValues& fraction);

// The critical value c[k] of analysis k (1..MaxAnalyses) from the information
// t[1..k], the cumulative error errorSplit[k] and the fixed values c[1..k-1].
// boundaryFailed is 1 when the target could not be reached below kBoundaryCap.
void computeBoundary(int32_t k, const input::AnalysisValues& t,
                     const input::AnalysisValues& errorSplit, int32_t sides,
                     int32_t& boundaryFailed, input::AnalysisValues& c);

}  // namespace survseq::bounds
