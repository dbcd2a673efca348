#pragma once

#include <cstdint>
#include <span>
#include <vector>

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
// 4.1.2 and 4.2.2): the Cholesky factor turns the box into nested one-dimensional limits,
// the integral over the unit cube is estimated on Richtmyer's lattice (generators the
// fractional parts of the square roots of the primes) under the baker's transformation,
// in kLatticeShifts copies shifted by uniforms from a generator of its own with a fixed
// seed. The estimate is therefore the same on every call and every thread.
//
// The coordinates are split: the first dimension - movingCount (the fixed block) lie in a
// box given once, the last movingCount (the moving block) in limits given at each
// evaluation. At each lattice point the fixed block's factor and the moving block's
// conditional means are kept, so an evaluation costs the moving block only, and as every
// evaluation uses the same points the estimate is a smooth function of the moving limits.
class BoxProbability {
 public:
  // `covariance` is dimension x dimension, row by row, positive semi-definite (a
  // coordinate with no variance left given the earlier ones is held at its conditional
  // mean); limits may be infinite.
  BoxProbability(std::span<const double> covariance, int32_t dimension, int32_t movingCount,
                 std::span<const double> fixedLower, std::span<const double> fixedUpper);

  // Adds lattice points (the rule is extensible: earlier points stay) until each shifted
  // copy holds `points`.
  void growTo(int32_t points);
  int32_t pointsPerShift() const { return points_; }

  // P(fixed block in its box).
  ProbabilityEstimate fixedBlock() const;
  // P(fixed block in its box, lower <= moving block <= upper).
  ProbabilityEstimate inside(std::span<const double> lower, std::span<const double> upper) const;
  // P(fixed block in its box, moving block not in [lower, upper]), estimated point by
  // point as fixedBlock() - inside(), so its error is that of the difference.
  ProbabilityEstimate outside(std::span<const double> lower, std::span<const double> upper) const;

 private:
  template <class PointValue>
  ProbabilityEstimate average(PointValue value) const;
  double movingFactor(int32_t shift, int32_t point, std::span<const double> lower,
                      std::span<const double> upper) const;

  int32_t dimension_;
  int32_t fixedCount_;
  int32_t movingCount_;
  std::vector<double> cholesky_;  // lower factor, row by row
  std::vector<double> fixedLower_, fixedUpper_;
  std::vector<double> generator_;  // one per lattice coordinate
  std::vector<double> shifts_;     // kLatticeShifts rows of kMaxNormalDimension
  int32_t points_ = 0;
  // Per shifted copy, per point: the fixed block's factor, the moving block's conditional
  // means given the fixed block, and the moving block's lattice coordinates.
  std::vector<std::vector<double>> fixedFactor_, movingMean_, movingPoint_;
};

// P(lower <= X <= upper), with lattice points added until the standard error is at most
// `targetError` or 2^20 points per copy are reached.
ProbabilityEstimate boxProbability(std::span<const double> covariance, int32_t dimension,
                                   std::span<const double> lower, std::span<const double> upper,
                                   double targetError = 1.0e-5);

}  // namespace survseq::bounds
