// Sums of normal densities, several points at a time, by Highway: this file is compiled
// once per instruction set (foreach_target) and the best one the processor runs is
// chosen at the first call.
//
// Each lane does what propagatedDensity does for its point, operation by operation and
// in the same order: double products, quotients and sums, and rounding to single
// precision (to nearest) where the scalar code stores a float. These are IEEE
// operations, which round the same in a vector lane as in a scalar register.
//
// The exponential is the one exception. Neither the C library's exp nor Highway's Exp is
// correctly rounded in double precision, but both are within a few units in the last
// place (ulp) of exp(e), while single-precision values lie 2^29 double ulps apart. Both
// therefore round to the same single-precision value unless exp(e) lies within a few
// double ulps of a midpoint between two single-precision values. A lane whose fast
// exponential lands within kHalfwayMargin double ulps of a midpoint takes the C
// library's exponential instead. The density is needed only for single-precision
// exponents in (-87, -ln sqrt(2 pi)], and a test compares every one of them with the
// scalar path on every instruction set of the machine.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "bounds/propagation_kernel.cpp"
#include <hwy/foreach_target.h>  // must come before highway.h

#include <hwy/highway.h>
// (after highway.h)
#include <hwy/contrib/math/math-inl.h>

#include <cmath>
#include <cstdint>

#include "bounds/normal_distribution.h"
#include "bounds/propagation_kernel.h"

HWY_BEFORE_NAMESPACE();
namespace survseq::bounds::HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

// The bits of a positive double below the last bit a float keeps (normal values), the
// pattern of those bits halfway between two floats, and how close to it a fast
// exponential may come before the exact one is taken.
constexpr int64_t kDroppedBits = (int64_t{1} << 29) - 1;
constexpr int64_t kHalfway = int64_t{1} << 28;
constexpr int64_t kHalfwayMargin = 1024;

// Room for the lanes of the widest vector.
constexpr size_t kMaxLanes = HWY_MAX_BYTES / sizeof(double);

// Rounding to single precision as a cast does it, infinities and overflow included. The
// emulated targets would clamp those to the largest float; there each lane is cast.
template <class D>
HWY_INLINE hn::Vec<hn::Rebind<float, D>> ToSingle(D d, hn::Vec<D> v) {
  const hn::Rebind<float, D> df;
#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128
  HWY_ALIGN double wide[kMaxLanes];
  HWY_ALIGN float narrow[kMaxLanes];
  hn::Store(v, d, wide);
  for (size_t i = 0; i < hn::Lanes(d); ++i) narrow[i] = static_cast<float>(wide[i]);
  return hn::Load(df, narrow);
#else
  return hn::DemoteTo(df, v);
#endif
}

template <class D>
HWY_INLINE hn::Vec<D> RoundToSingle(D d, hn::Vec<D> v) {
  return hn::PromoteTo(d, ToSingle(d, v));
}

// densityExponent of single-precision values held in double lanes.
template <class D>
HWY_INLINE hn::Vec<D> DensityExponent(D d, hn::Vec<D> x) {
  const hn::Vec<D> square = hn::Mul(hn::Mul(hn::Set(d, 0.5), x), x);
  return RoundToSingle(d, hn::Sub(hn::Neg(square), hn::Set(d, double(kLogRootTwoPi))));
}

// The C library's exponential, lane by lane.
template <class D>
HWY_NOINLINE hn::Vec<D> ExactExp(D d, hn::Vec<D> e) {
  HWY_ALIGN double lanes[kMaxLanes];
  hn::Store(e, d, lanes);
  for (size_t i = 0; i < hn::Lanes(d); ++i) lanes[i] = std::exp(lanes[i]);
  return hn::Load(d, lanes);
}

// densityOfExponent of single-precision values held in double lanes. Lanes that take
// the exact exponential are counted in `fallbacks`.
template <class D>
HWY_INLINE hn::Vec<D> DensityOfExponent(D d, hn::Vec<D> e, size_t& fallbacks) {
  const hn::RebindToSigned<D> di;
  const auto usable = hn::Gt(e, hn::Set(d, double(kDensityExponentCutoff)));
  // Lanes below the cut-off (or NaN) are given exp(0) and discarded at the end.
  hn::Vec<D> value = hn::Exp(d, hn::IfThenElseZero(usable, e));
  // (dropped bits - halfway + margin) mod 2^29 is at most 2 * margin near a midpoint.
  const auto offset =
      hn::And(hn::Add(hn::BitCast(di, value), hn::Set(di, kHalfwayMargin - kHalfway)),
              hn::Set(di, kDroppedBits));
  const auto nearHalfway = hn::And(
      usable, hn::RebindMask(d, hn::Lt(offset, hn::Set(di, 2 * kHalfwayMargin + 1))));
  if (HWY_UNLIKELY(!hn::AllFalse(d, nearHalfway))) {
    fallbacks += hn::CountTrue(d, nearHalfway);
    value = hn::IfThenElse(nearHalfway, ExactExp(d, e), value);
  }
  return hn::IfThenElseZero(usable, RoundToSingle(d, value));
}

// propagatedDensity at the points y, before its final rounding to single precision.
template <class D>
HWY_INLINE hn::Vec<D> PropagatedDensity(D d, const PropagationTerms& terms, hn::Vec<D> y,
                                        size_t& fallbacks) {
  const hn::Vec<D> step = hn::Set(d, terms.step);
  hn::Vec<D> sum = hn::Zero(d);
  for (int m = 0; m < kQuadratureNodes; ++m) {
    const hn::Vec<D> fromAbove = RoundToSingle(d, hn::Div(hn::Sub(hn::Set(d, terms.node[m]), y), step));
    const hn::Vec<D> fromBelow =
        RoundToSingle(d, hn::Div(hn::Sub(hn::Set(d, -terms.node[m]), y), step));
    const hn::Vec<D> pair =
        hn::Add(DensityOfExponent(d, DensityExponent(d, fromAbove), fallbacks),
                DensityOfExponent(d, DensityExponent(d, fromBelow), fallbacks));
    sum = hn::Add(sum, hn::Mul(hn::Set(d, terms.weighted[m]), pair));
  }
  return hn::Mul(hn::Set(d, terms.scale), sum);
}

void PropagatedDensities(const PropagationTerms& terms, const double* y, float* density,
                         size_t count) {
  const hn::ScalableTag<double> d;
  const hn::Rebind<float, decltype(d)> df;
  const size_t lanes = hn::Lanes(d);
  size_t fallbacks = 0;
  size_t i = 0;
  for (; i + lanes <= count; i += lanes) {
    const auto value = PropagatedDensity(d, terms, hn::LoadU(d, y + i), fallbacks);
    hn::StoreU(ToSingle(d, value), df, density + i);
  }
  if (i == count) return;
  // The last points, padded with y = 0.
  HWY_ALIGN double restY[kMaxLanes] = {};
  HWY_ALIGN float restDensity[kMaxLanes];
  for (size_t j = i; j < count; ++j) restY[j - i] = y[j];
  const auto value = PropagatedDensity(d, terms, hn::Load(d, restY), fallbacks);
  hn::Store(ToSingle(d, value), df, restDensity);
  for (size_t j = i; j < count; ++j) density[j] = restDensity[j - i];
}

size_t DensitiesOfExponents(const float* exponent, float* density, size_t count) {
  const hn::ScalableTag<double> d;
  const hn::Rebind<float, decltype(d)> df;
  const size_t lanes = hn::Lanes(d);
  size_t fallbacks = 0;
  size_t i = 0;
  for (; i + lanes <= count; i += lanes) {
    const auto e = hn::PromoteTo(d, hn::LoadU(df, exponent + i));
    hn::StoreU(ToSingle(d, DensityOfExponent(d, e, fallbacks)), df, density + i);
  }
  for (; i < count; ++i) {  // the last ones alone, in otherwise empty vectors
    const auto e = hn::InsertLane(hn::Zero(d), 0, double(exponent[i]));
    density[i] = float(hn::GetLane(DensityOfExponent(d, e, fallbacks)));
  }
  return fallbacks;
}

const char* KernelTarget() { return hwy::TargetName(HWY_TARGET); }

}  // namespace survseq::bounds::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace survseq::bounds {

HWY_EXPORT(PropagatedDensities);
HWY_EXPORT(DensitiesOfExponents);
HWY_EXPORT(KernelTarget);

PropagationTerms propagationTerms(const ScoreSubDensity& previous, float sigma) {
  PropagationTerms terms;
  const double boundary = previous.scoreBoundary;
  terms.step = sigma;
  terms.scale = boundary / terms.step;
  for (int m = 0; m < kQuadratureNodes; ++m) {
    terms.node[m] = boundary * double(kQuadratureNode[m]);
    terms.weighted[m] = double(kQuadratureWeight[m]) * double(previous.atNode[m]);
  }
  return terms;
}

void propagatedDensities(const PropagationTerms& terms, const double* y, float* density,
                         std::size_t count) {
  HWY_DYNAMIC_DISPATCH(PropagatedDensities)(terms, y, density, count);
}

std::size_t densitiesOfExponents(const float* exponent, float* density, std::size_t count) {
  return HWY_DYNAMIC_DISPATCH(DensitiesOfExponents)(exponent, density, count);
}

const char* propagationKernelTarget() { return HWY_DYNAMIC_DISPATCH(KernelTarget)(); }

}  // namespace survseq::bounds
#endif  // HWY_ONCE
