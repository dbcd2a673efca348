#pragma once

// Probabilities that a score process with independent normal increments first leaves a
// continuation region at each analysis: the group-sequential recursion of Armitage,
// McPherson and Rowe (1969, JRSS A 132:235-244) with a drift, as laid out by Jennison
// and Turnbull (2000, Group Sequential Methods, chapter 19), integrated by Simpson's
// rule on a grid of the continuation region at each analysis.
//
// At analysis k the score W_k has mean mean[k] and variance variance[k] (both
// cumulative, variance increasing); the path stops at k when W_k >= upper[k] (upper
// crossing) or W_k <= lower[k] (lower crossing; -infinity for none). A look with no
// bounds and no more variance than the one before is passed over.

#include <array>
#include <cstdint>

#include "input/design_parameters.h"

namespace survseq::plan {

struct ScoreLook {
  double mean = 0.0;
  double variance = 0.0;
  double upper = 0.0;
  double lower = 0.0;
};
using ScoreLooks = std::array<ScoreLook, input::MaxAnalyses + 1>;  // [1..K]

struct Crossing {
  double upper = 0.0;  // P(first stop at k, by the upper bound)
  double lower = 0.0;  // P(first stop at k, by the lower bound)
};
using Crossings = std::array<Crossing, input::MaxAnalyses + 1>;  // [1..K]

Crossings crossingProbabilities(const ScoreLooks& looks, int32_t analysisCount);

}  // namespace survseq::plan
