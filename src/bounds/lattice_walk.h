#pragma once

// The walk of a box probability (multivariate_normal.h) through the rows of its Cholesky
// factor, at many lattice points at once: the points go into the lanes of SIMD registers of
// the widest instruction set the processor offers, chosen at run time, and each lane repeats
// the walk of its point operation by operation, in the same order, with the C library's erfc,
// exp and log taken lane by lane; so every value is the one a point-by-point walk computes,
// bit for bit, on every instruction set.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace survseq::bounds {

// The values of one row for every point are laid out one after another, each row's taking a
// multiple of this many values, so that the widest vector reads whole rows.
inline constexpr size_t kPointPadding = 64;

// The number of values a row of `count` points takes.
inline size_t paddedPoints(size_t count) {
  return (count + kPointPadding - 1) / kPointPadding * kPointPadding;
}

// Draws per lattice point of the moving block's stratified row: measured at three looks
// of four statistics, four strata cut the crossing's error at 4,093 points from 1.5e-5 to
// 7.9e-6 (eight: 6.9e-6) for 2.8 times the moving block's work.
inline constexpr int32_t kLastDrawStrata = 4;
// The standard deviations of tilted standardised draws. Shifted alone, N(t, 1) has the
// standard normal's tails, and its weight exp(t^2 / 2 - t x) grows without bound below the
// shift; drawn with a larger spread s, the weight s exp(z^2 / 2 - x^2 / 2) at x = t + s z is
// bounded, the rule that an importance density's tails be no thinner than the integrand's
// (Geweke, 1989, Econometrica 57, 1317-1339). Measured on the max-combo example's own
// trials: the crossing's error at 4,093 points fell 2.5 times at second looks and at 8,191
// points 1.6 times at third looks, best near 1.3 for the earlier looks and 1.2 for the look
// in hand (1.2 to 1.5 differ little).
inline constexpr double kFixedSpread = 1.3;
inline constexpr double kMovingSpread = 1.2;

// What the walk knows of the box, the same at every point: the factor with its coordinates
// in the order used, the fixed block's limits in that order, and how each row is drawn.
struct WalkFactor {
  int32_t dimension = 0;
  int32_t fixedCount = 0;        // the fixed block is rows 0..fixedCount-1
  std::vector<double> cholesky;  // lower factor, row by row
  std::vector<double> fixedLower, fixedUpper;
  // A row with no variance left is a limit on the last earlier draw of its block it depends
  // on (Genz and Bretz, 2009, section 4.1.3): attachedTo that row or -1, attached the rows of
  // each; drawn whether a later row needs the row's draw.
  std::vector<int32_t> attachedTo;
  std::vector<std::vector<int32_t>> attached;
  std::vector<char> drawn;
  // The shift of each row's standardised draw (0: untilted), and the moving block's row
  // whose draw is stratified, or -1.
  std::vector<double> tilt;
  int32_t stratifiedRow = -1;
};

// Walks the fixed block at `count` points whose coordinates are point[row * pointStride + q]
// for the fixed rows. Writes stay[q], the probability of staying in the fixed block (tilted
// when `tilted`); leaving[q] when `summed`, its chances of leaving summed (twice those upwards
// when `symmetric`); and mean[r * meanStride + q], the moving row r's conditional mean given
// the fixed draws (0 where stay[q] is 0). The points' arrays are read and written in whole
// vectors: each row of them has room for count rounded up to a multiple of kPointPadding.
void walkFixedPoints(const WalkFactor& box, const double* point, size_t pointStride, size_t count,
                     bool tilted, bool summed, bool symmetric, double* stay, double* leaving,
                     double* mean, size_t meanStride);

// Walks the moving block in the limits lower..upper (moving rows, in the order used) at
// `count` points, from the fixed block's stay[q], conditional means mean[r * stride + q] and
// coordinates point[r * stride + q]. Writes value[q]: stay[q] times the chance of staying in
// the moving block, or with `outside` of leaving it (tilted, and twice the chance upwards
// when `doubled`); 0 where stay[q] is not above 0. The points' arrays are read and written in
// whole vectors: each row of them has room for count rounded up to a multiple of
// kPointPadding.
void walkMovingPoints(const WalkFactor& box, const double* lower, const double* upper,
                      const double* stay, const double* mean, const double* point, size_t stride,
                      size_t count, bool outside, bool doubled, double* value);

// Name of the instruction set the walks run on.
const char* latticeWalkTarget();

}  // namespace survseq::bounds
