// The walk of a box probability through its factor's rows, a vector of lattice points at a
// time, by Highway: this file is compiled once per instruction set (foreach_target) and the
// best one the processor runs is chosen at the first call.
//
// At each row the walk finds the interval its standardised draw may take given the draws
// before it (Genz, 1992; Genz and Bretz, 2009, section 4.2.2), multiplies the probability
// by the interval's chance, sums the chances of leaving, and draws from the interval at the
// point's lattice coordinate by the inverse of the normal distribution (AS 241), tilted
// towards the box's upper limits where the box asks for it (multivariate_normal.cpp). Each
// lane does what the walk of its point alone does, operation by operation and in the same
// order: IEEE sums, products, quotients and square roots, which round the same in a vector
// lane as in a scalar register, and never a fused multiply-add. erfc, exp and log are the C
// library's, called lane by lane, and only for the lanes that need them. A lane whose walk
// has ended (its probability 0, or no room left for a draw) keeps its results while the
// others go on.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "bounds/lattice_walk.cpp"
#include <hwy/foreach_target.h>  // must come before highway.h

#include <hwy/highway.h>

#include <cmath>
#include <cstdint>
#include <utility>

#include "bounds/lattice_walk.h"
#include "bounds/multivariate_normal.h"
#include "bounds/normal_quantile.h"

HWY_BEFORE_NAMESPACE();
namespace survseq::bounds::HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

// Room for the lanes of the widest vector.
constexpr size_t kMaxLanes = HWY_MAX_BYTES / sizeof(double);
static_assert(kPointPadding % kMaxLanes == 0);

template <class D>
using V = hn::Vec<D>;
template <class D>
using M = hn::Mask<D>;

// f of each lane where `use` holds, `otherwise` elsewhere.
template <class D, class F>
HWY_INLINE V<D> EachLane(D d, V<D> x, M<D> use, V<D> otherwise, F f) {
  if (hn::AllFalse(d, use)) return otherwise;  // one-sided: no lower limits
  HWY_ALIGN double in[kMaxLanes];
  HWY_ALIGN double out[kMaxLanes];
  uint8_t bits[(kMaxLanes + 7) / 8] = {};
  hn::Store(x, d, in);
  hn::Store(otherwise, d, out);
  hn::StoreMaskBits(d, use, bits);
  for (size_t lane = 0; lane < hn::Lanes(d); ++lane) {
    if (bits[lane / 8] >> (lane % 8) & 1) out[lane] = f(in[lane]);
  }
  return hn::Load(d, out);
}

// P(Z < x) = erfc(-x / sqrt 2) / 2; at x = -infinity 0 and at +infinity 1, what the C
// library gives there, without a call.
template <class D>
HWY_INLINE V<D> LowerTail(D d, V<D> x, M<D> live) {
  const V<D> scaled = hn::Div(hn::Neg(x), hn::Set(d, std::sqrt(2.0)));
  const M<D> infinite = hn::IsInf(x);
  const V<D> limit = hn::IfThenElseZero(hn::Gt(x, hn::Zero(d)), hn::Set(d, 1.0));
  const V<D> tail =
      EachLane(d, scaled, hn::AndNot(infinite, live), limit, [](double y) { return std::erfc(y); });
  return hn::IfThenElse(infinite, limit, hn::Mul(hn::Set(d, 0.5), tail));
}

// Horner's rule for coefficients in increasing powers.
template <class D>
HWY_INLINE V<D> Polynomial(D d, const double (&c)[8], V<D> x) {
  V<D> sum = hn::Set(d, c[7]);
  for (int i = 6; i >= 0; --i) sum = hn::Add(hn::Mul(sum, x), hn::Set(d, c[i]));
  return sum;
}

// standardNormalQuantile (AS 241) of p clamped to [1e-300, 1 - 1e-16].
template <class D>
HWY_INLINE V<D> QuantileInside(D d, V<D> p, M<D> live) {
  using namespace as241;
  const V<D> least = hn::Set(d, 1.0e-300), most = hn::Set(d, 1.0 - 1.0e-16);
  p = hn::IfThenElse(hn::Lt(p, least), least, hn::IfThenElse(hn::Lt(most, p), most, p));
  const V<D> q = hn::Sub(p, hn::Set(d, 0.5));
  const V<D> centreR = hn::Sub(hn::Set(d, 0.180625), hn::Mul(q, q));
  V<D> z =
      hn::Div(hn::Mul(q, Polynomial(d, kCentre, centreR)), Polynomial(d, kCentreDivisor, centreR));
  const M<D> tail = hn::And(live, hn::Not(hn::Le(hn::Abs(q), hn::Set(d, 0.425))));
  if (!hn::AllFalse(d, tail)) {
    const M<D> below = hn::Lt(q, hn::Zero(d));
    const V<D> smaller = hn::IfThenElse(below, p, hn::Sub(hn::Set(d, 1.0), p));
    const V<D> logged =
        EachLane(d, smaller, tail, hn::Set(d, 1.0), [](double y) { return std::log(y); });
    const V<D> r = hn::Sqrt(hn::Neg(logged));
    const M<D> near = hn::Le(r, hn::Set(d, 5.0));
    const V<D> nearR = hn::Sub(r, hn::Set(d, 1.6)), farR = hn::Sub(r, hn::Set(d, 5.0));
    const V<D> nearZ = hn::Div(Polynomial(d, kNear, nearR), Polynomial(d, kNearDivisor, nearR));
    const V<D> farZ = hn::Div(Polynomial(d, kFar, farR), Polynomial(d, kFarDivisor, farR));
    const V<D> tailZ = hn::IfThenElse(near, nearZ, farZ);
    z = hn::IfThenElse(tail, hn::IfThenElse(below, hn::Neg(tailZ), tailZ), z);
  }
  return hn::IfThenElse(hn::IsNaN(p), p, z);
}

// The standard normal density at x over that of the draw's law, N(theta, spread^2), at
// x = theta + spread z.
template <class D>
HWY_INLINE V<D> DensityRatio(D d, V<D> x, V<D> z, double spread, M<D> live) {
  const V<D> exponent = hn::Mul(hn::Set(d, 0.5), hn::Sub(hn::Mul(z, z), hn::Mul(x, x)));
  const V<D> power = EachLane(d, exponent, live, hn::Zero(d), [](double y) { return std::exp(y); });
  return hn::Mul(hn::Set(d, spread), power);
}

template <class D>
struct Walked {
  V<D> probability;  // of staying in the box
  V<D> leaving;      // of leaving it, row by row
  V<D> upwards;      // of leaving it through a coordinate's upper limit
};

// Rows begin..end-1 at one vector of points. base + (r - begin) * baseStride holds row r's
// mean from the draws before begin, point + (r - begin) * pointStride its lattice
// coordinates; draws + r * lanes receives row r's draws. When `tilted`, tilted rows are drawn
// shifted and widened, and weighted back; the chances of leaving are summed when `summed`.
template <class D>
Walked<D> WalkLanes(D d, const WalkFactor& f, int32_t begin, int32_t end, const double* base,
                    size_t baseStride, const double* lower, const double* upper,
                    const double* point, size_t pointStride, double* draws, bool tilted,
                    bool summed) {
  const size_t lanes = hn::Lanes(d);
  const int32_t n = f.dimension;
  const double* L = f.cholesky.data();
  const V<D> zero = hn::Zero(d), one = hn::Set(d, 1.0);
  // The part of row r's mean from the draws begin..i-1.
  const auto partial = [&](int32_t r, int32_t i) {
    V<D> sum = hn::LoadU(d, base + (r - begin) * baseStride);
    for (int32_t m = begin; m < i; ++m) {
      sum = hn::Add(sum, hn::Mul(hn::Set(d, L[r * n + m]), hn::Load(d, draws + m * lanes)));
    }
    return sum;
  };
  const M<D> none = hn::FirstN(d, 0), all = hn::FirstN(d, lanes);
  Walked<D> result{one, zero, zero};
  M<D> live = all;
  for (int32_t i = begin; i < end; ++i) {
    live = hn::And(live, hn::Gt(result.probability, zero));
    if (hn::AllFalse(d, live)) break;
    hn::Store(zero, d, draws + i * lanes);
    if (f.attachedTo[i] >= 0) continue;
    const double pivot = L[i * n + i];
    const V<D> mean = partial(i, i);
    const V<D> low = hn::Set(d, lower[i - begin]), high = hn::Set(d, upper[i - begin]);
    if (pivot == 0.0) {
      const M<D> out = hn::AndNot(hn::And(hn::Ge(mean, low), hn::Le(mean, high)), live);
      result.leaving =
          hn::IfThenElse(out, hn::Add(result.leaving, result.probability), result.leaving);
      result.upwards = hn::IfThenElse(hn::And(out, hn::Gt(mean, high)),
                                      hn::Add(result.upwards, result.probability), result.upwards);
      result.probability = hn::IfThenElseZero(hn::Not(out), result.probability);
      continue;
    }
    // The standardised draw's limits from its own row and the rows attached to it, and
    // whether each is a coordinate's upper limit: a row attached with a negative
    // coefficient turns its upper limit into the draw's lower one.
    const V<D> scale = hn::Set(d, pivot);
    V<D> a = hn::Div(hn::Sub(low, mean), scale), b = hn::Div(hn::Sub(high, mean), scale);
    M<D> aFromUpper = none, bFromUpper = all;
    for (const int32_t r : f.attached[i]) {
      const double coefficient = L[r * n + i];
      const V<D> rest = partial(r, i);
      const V<D> scaleR = hn::Set(d, coefficient);
      V<D> rowLow = hn::Div(hn::Sub(hn::Set(d, lower[r - begin]), rest), scaleR);
      V<D> rowHigh = hn::Div(hn::Sub(hn::Set(d, upper[r - begin]), rest), scaleR);
      const bool turned = coefficient < 0.0;
      if (turned) std::swap(rowLow, rowHigh);
      const M<D> raise = hn::Gt(rowLow, a);
      a = hn::IfThenElse(raise, rowLow, a);
      aFromUpper = turned ? hn::Or(aFromUpper, raise) : hn::AndNot(raise, aFromUpper);
      const M<D> cut = hn::Lt(rowHigh, b);
      b = hn::IfThenElse(cut, rowHigh, b);
      bFromUpper = turned ? hn::AndNot(cut, bFromUpper) : hn::Or(bFromUpper, cut);
    }
    const M<D> noRoom = hn::AndNot(hn::Lt(a, b), live);
    if (!hn::AllFalse(d, noRoom)) {
      // No room: the draw lies beyond the limit on the side of its centre, b when the
      // limits lie below it, and that limit's kind says which way the box is left (as
      // x -> -x asks: the mirrored walk leaves the other way).
      const M<D> centreAbove = hn::Lt(hn::Add(a, b), zero);
      const M<D> up = hn::Or(hn::And(centreAbove, bFromUpper), hn::AndNot(centreAbove, aFromUpper));
      result.leaving =
          hn::IfThenElse(noRoom, hn::Add(result.leaving, result.probability), result.leaving);
      result.upwards = hn::IfThenElse(hn::And(noRoom, up),
                                      hn::Add(result.upwards, result.probability), result.upwards);
      result.probability = hn::IfThenElseZero(hn::Not(noRoom), result.probability);
      live = hn::AndNot(noRoom, live);
      if (hn::AllFalse(d, live)) break;
    }
    const double theta = tilted && f.drawn[i] ? f.tilt[i] : 0.0;
    // The interval's untilted chances: for the chances of leaving and the untilted draw.
    V<D> lowChance = zero, highChance = one;
    if (summed || theta == 0.0) {
      lowChance = LowerTail(d, a, live);
      highChance = LowerTail(d, b, live);
      const V<D> leave = hn::Add(hn::Sub(one, highChance), lowChance);
      const V<D> up = hn::Add(hn::IfThenElseZero(bFromUpper, hn::Sub(one, highChance)),
                              hn::IfThenElseZero(aFromUpper, lowChance));
      result.leaving = hn::IfThenElse(
          live, hn::Add(result.leaving, hn::Mul(result.probability, leave)), result.leaving);
      result.upwards = hn::IfThenElse(
          live, hn::Add(result.upwards, hn::Mul(result.probability, up)), result.upwards);
    }
    const V<D> w = hn::LoadU(d, point + (i - begin) * pointStride);
    if (theta == 0.0 && i != f.stratifiedRow) {
      const V<D> width = hn::Sub(highChance, lowChance);
      result.probability =
          hn::IfThenElse(live, hn::Mul(result.probability, width), result.probability);
      if (f.drawn[i]) {
        hn::Store(QuantileInside(d, hn::Add(lowChance, hn::Mul(w, width)), live), d,
                  draws + i * lanes);
      }
      continue;
    }
    const double spread = theta == 0.0 ? 1.0 : i < f.fixedCount ? kFixedSpread : kMovingSpread;
    const V<D> shift = hn::Set(d, theta), widen = hn::Set(d, spread);
    const V<D> lowTilted =
        theta == 0.0 ? lowChance : LowerTail(d, hn::Div(hn::Sub(a, shift), widen), live);
    const V<D> highTilted =
        theta == 0.0 ? highChance : LowerTail(d, hn::Div(hn::Sub(b, shift), widen), live);
    const V<D> width = hn::Sub(highTilted, lowTilted);
    if (i == f.stratifiedRow) {
      // The rest of the walk, one row and those attached to it, is averaged over
      // kLastDrawStrata draws of this row, one in each stratum of its lattice coordinate.
      HWY_ALIGN double restBase[kMaxNormalDimension * kMaxLanes];
      const V<D> strata = hn::Set(d, double(kLastDrawStrata));
      Walked<D> sum{zero, result.leaving, result.upwards};
      for (int32_t k = 0; k < kLastDrawStrata; ++k) {
        const V<D> u = hn::Div(hn::Add(hn::Set(d, double(k)), w), strata);
        const V<D> z = QuantileInside(d, hn::Add(lowTilted, hn::Mul(u, width)), live);
        const V<D> x = hn::Add(shift, hn::Mul(widen, z));
        hn::Store(x, d, draws + i * lanes);
        const V<D> weight = hn::Div(
            hn::Mul(hn::Mul(result.probability, width), DensityRatio(d, x, z, spread, live)),
            strata);
        for (int32_t r = i + 1; r < end; ++r) {
          hn::Store(partial(r, i + 1), d, restBase + (r - i - 1) * lanes);
        }
        const int32_t skip = i + 1 - begin;
        const Walked<D> rest =
            WalkLanes(d, f, i + 1, end, restBase, lanes, lower + skip, upper + skip,
                      point + skip * pointStride, pointStride, draws, tilted, summed);
        sum.probability = hn::Add(sum.probability, hn::Mul(weight, rest.probability));
        sum.leaving = hn::Add(sum.leaving, hn::Mul(weight, rest.leaving));
        sum.upwards = hn::Add(sum.upwards, hn::Mul(weight, rest.upwards));
      }
      result.probability = hn::IfThenElse(live, sum.probability, result.probability);
      result.leaving = hn::IfThenElse(live, sum.leaving, result.leaving);
      result.upwards = hn::IfThenElse(live, sum.upwards, result.upwards);
      return result;
    }
    const V<D> z = QuantileInside(d, hn::Add(lowTilted, hn::Mul(w, width)), live);
    const V<D> x = hn::Add(shift, hn::Mul(widen, z));
    hn::Store(x, d, draws + i * lanes);
    result.probability = hn::IfThenElse(
        live, hn::Mul(result.probability, hn::Mul(width, DensityRatio(d, x, z, spread, live))),
        result.probability);
  }
  return result;
}

void WalkFixedPoints(const WalkFactor& f, const double* point, size_t pointStride, size_t count,
                     bool tilted, bool summed, bool symmetric, double* stay, double* leaving,
                     double* mean, size_t meanStride) {
  const hn::ScalableTag<double> d;
  const size_t lanes = hn::Lanes(d);
  const int32_t n = f.dimension, p = f.fixedCount, m = n - p;
  HWY_ALIGN double zeros[kMaxNormalDimension * kMaxLanes] = {};
  // Rows after the end of a vector's walk keep what they held, read only where masked out.
  HWY_ALIGN double draws[kMaxNormalDimension * kMaxLanes] = {};
  for (size_t q = 0; q < count; q += lanes) {
    const auto walked =
        WalkLanes(d, f, 0, p, zeros, lanes, f.fixedLower.data(), f.fixedUpper.data(), point + q,
                  pointStride, draws, tilted, summed);
    hn::StoreU(walked.probability, d, stay + q);
    if (summed) {
      hn::StoreU(symmetric ? hn::Mul(hn::Set(d, 2.0), walked.upwards) : walked.leaving, d,
                 leaving + q);
    }
    const auto inside = hn::Gt(walked.probability, hn::Zero(d));
    for (int32_t r = 0; r < m; ++r) {
      auto sum = hn::Zero(d);
      for (int32_t j = 0; j < p; ++j) {
        sum = hn::Add(
            sum, hn::Mul(hn::Set(d, f.cholesky[(p + r) * n + j]), hn::Load(d, draws + j * lanes)));
      }
      hn::StoreU(hn::IfThenElseZero(inside, sum), d, mean + r * meanStride + q);
    }
  }
}

void WalkMovingPoints(const WalkFactor& f, const double* lower, const double* upper,
                      const double* stay, const double* mean, const double* point, size_t stride,
                      size_t count, bool outside, bool doubled, double* value) {
  const hn::ScalableTag<double> d;
  const size_t lanes = hn::Lanes(d);
  const int32_t p = f.fixedCount;
  // Rows after the end of a vector's walk keep what they held, read only where masked out.
  HWY_ALIGN double draws[kMaxNormalDimension * kMaxLanes] = {};
  for (size_t q = 0; q < count; q += lanes) {
    const auto factor = hn::LoadU(d, stay + q);
    const auto walked = WalkLanes(d, f, p, f.dimension, mean + q, stride, lower, upper, point + q,
                                  stride, draws, outside, outside);
    const auto chance = !outside  ? walked.probability
                        : doubled ? hn::Mul(hn::Set(d, 2.0), walked.upwards)
                                  : walked.leaving;
    hn::StoreU(hn::IfThenElseZero(hn::Gt(factor, hn::Zero(d)), hn::Mul(factor, chance)), d,
               value + q);
  }
}

const char* WalkTarget() { return hwy::TargetName(HWY_TARGET); }

}  // namespace survseq::bounds::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace survseq::bounds {

HWY_EXPORT(WalkFixedPoints);
HWY_EXPORT(WalkMovingPoints);
HWY_EXPORT(WalkTarget);

void walkFixedPoints(const WalkFactor& box, const double* point, size_t pointStride, size_t count,
                     bool tilted, bool summed, bool symmetric, double* stay, double* leaving,
                     double* mean, size_t meanStride) {
  HWY_DYNAMIC_DISPATCH(WalkFixedPoints)
  (box, point, pointStride, count, tilted, summed, symmetric, stay, leaving, mean, meanStride);
}

void walkMovingPoints(const WalkFactor& box, const double* lower, const double* upper,
                      const double* stay, const double* mean, const double* point, size_t stride,
                      size_t count, bool outside, bool doubled, double* value) {
  HWY_DYNAMIC_DISPATCH(WalkMovingPoints)
  (box, lower, upper, stay, mean, point, stride, count, outside, doubled, value);
}

const char* latticeWalkTarget() { return HWY_DYNAMIC_DISPATCH(WalkTarget)(); }

}  // namespace survseq::bounds
#endif  // HWY_ONCE
