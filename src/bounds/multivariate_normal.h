#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "bounds/lattice_walk.h"

namespace survseq::bounds {

// The largest dimension the boxes below are used for (statistics times analyses).
inline constexpr int32_t kMaxNormalDimension = 75;
// Randomly shifted copies of the lattice; their spread gives the standard error.
inline constexpr int32_t kLatticeShifts = 10;

struct ProbabilityEstimate {
  double value = 0.0;
  double standardError = 0.0;  // of the mean over the kLatticeShifts shifted copies
};

// Box probabilities of a centred normal vector X by separation of variables with a
// randomised lattice rule (Genz, 1992, J. Comput. Graph. Stat. 1, 141-149; Genz and
// Bretz, 2009, Computation of Multivariate Normal and t Probabilities, Springer, sections
// 4.1.2 and 4.2.2): the Cholesky factor, with the coordinates put in Genz and Bretz's
// order, turns the box into nested one-dimensional limits; the integral over the unit
// cube is estimated on a rank-1 lattice rule built component by component
// (lattice_rules.h) under the baker's transformation, in kLatticeShifts copies shifted by
// uniforms from a generator of its own with a fixed seed. The estimate is therefore the
// same on every call and every thread, and does not touch any other random stream.
//
// The coordinates are split: the first dimension - movingCount (the fixed block) lie in a
// box given once, the last movingCount (the moving block) in limits given at each
// evaluation. At each lattice point the fixed block's factor and the moving block's
// conditional means are kept, so an evaluation costs the moving block only, and as every
// evaluation uses the same points the estimate is a smooth function of the moving limits.
// Given the fixed block, the moving block's error comes from its draws; the draw of the row
// before its last row with a pivot is stratified (several draws per lattice point, one in
// each stratum of its coordinate), which integrates the last row's chance of leaving far
// more closely.
class BoxProbability {
 public:
  // `covariance` is dimension x dimension, row by row, positive semi-definite (a
  // coordinate with no variance left given the earlier ones is held at its conditional
  // mean); limits may be infinite. Limits for the moving block given here (optional) order
  // it as the fixed block is ordered; without them it keeps its order. When they are upper
  // limits only, or a box symmetric about 0, the draws are tilted
  // towards them (importance sampling: the probabilities stay the same, their errors shrink
  // when the box is left mostly near its upper limits); fixedBlock() and outside() are then
  // summed as chances of leaving the box, inside() as the tilted chance of staying.
  BoxProbability(std::span<const double> covariance, int32_t dimension, int32_t movingCount,
                 std::span<const double> fixedLower, std::span<const double> fixedUpper,
                 std::span<const double> movingLower = {},
                 std::span<const double> movingUpper = {});

  // Puts at least `points` points in each shifted copy: the smallest lattice rule with
  // that many, or the largest there is (pointsPerShift() tells which).
  void growTo(int32_t points);
  int32_t pointsPerShift() const { return points_; }

  // P(fixed block in its box). Tilted, the first call walks the fixed block again to sum
  // its chances of leaving, which the walks leave out until they are asked for.
  ProbabilityEstimate fixedBlock();
  // P(fixed block in its box, lower <= moving block <= upper).
  ProbabilityEstimate inside(std::span<const double> lower, std::span<const double> upper);
  // P(fixed block in its box, moving block not in [lower, upper]), estimated point by
  // point as fixedBlock() - inside() when the fixed block is not tilted (see the
  // constructor), so its error is that of the difference.
  ProbabilityEstimate outside(std::span<const double> lower, std::span<const double> upper);

  // What the walks know of the box (lattice_walk.h).
  const WalkFactor& walkFactor() const { return factor_; }

 private:
  template <bool Outside>
  ProbabilityEstimate moving(std::span<const double> lower, std::span<const double> upper);
  // Walks the fixed block at every point of the rule in hand.
  void walkFixedBlock();
  // Whether any row's draw is tilted.
  bool tilted() const;

  WalkFactor factor_;
  int32_t movingCount_;
  std::vector<int32_t> movingOrder_;  // the given moving coordinate at each place
  bool symmetric_ = false;  // the limits given to the constructor are symmetric about 0
  std::vector<int32_t> component_;  // the lattice component of each row
  std::vector<double> shifts_;      // kLatticeShifts rows of kMaxNormalDimension
  int32_t points_ = 0;
  const int32_t* generator_ = nullptr;  // the rule's
  bool leavingAsked_ = false;           // fixedBlock() has been asked for
  // The shifted copies' points one after another, each row's values for every point taking
  // stride_ values (lattice_walk.h): the fixed block's factor (tilted when the tilts are not
  // all zero, and then, once asked for, the chance of leaving it in fixedLeaving_), and row
  // by row the moving block's conditional means given the fixed block and its lattice
  // coordinates.
  size_t stride_ = 0;
  std::vector<double> fixedFactor_, fixedLeaving_, movingMean_, movingPoint_;
  std::vector<double> values_;  // of an evaluation, point by point
};

// P(lower <= X <= upper), with lattice points added until the standard error is at most
// `targetError` or the largest lattice rule is reached.
ProbabilityEstimate boxProbability(std::span<const double> covariance, int32_t dimension,
                                   std::span<const double> lower, std::span<const double> upper,
                                   double targetError = 1.0e-5);

}  // namespace survseq::bounds
