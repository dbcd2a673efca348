// Sums of normal densities, several points at a time, by Highway: this file is compiled
// once per instruction set (foreach_target) and the best one the processor runs is
// chosen at the first call.
//
// Each lane does what propagatedDensity does for its point, operation by operation and
// in the same order: double products, quotients and sums, and rounding to single
// precision (to nearest) where the scalar code stores a float. These are IEEE
// operations, which round the same in a vector lane as in a scalar register.
//
// Two steps are taken faster than the scalar code takes them, and checked. The quotient
// by sigma is a product with 1/sigma, and the exponential is a short polynomial
// (FastExp) rather than the C library's exp. Neither is the double the scalar code
// computes, but each is within a few double ulps of it, while floats lie 2^29 double
// ulps apart: both round to the same float unless a midpoint between two floats lies
// within those few ulps. A lane that comes within a safe margin of a midpoint marks its
// vector of points, which is then computed again the slow way: a true quotient and the
// C library's exp. The density of the exponents that can occur, every float in
// (-87, -ln sqrt(2 pi)], is compared with the scalar one by a test, exhaustively, on
// every instruction set of the machine.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "bounds/propagation_kernel.cpp"
#include <hwy/foreach_target.h>  // must come before highway.h

#include <hwy/highway.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "bounds/normal_distribution.h"
#include "bounds/propagation_kernel.h"

HWY_BEFORE_NAMESPACE();
namespace survseq::bounds::HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

// The bits of a double below the last bit a float keeps (normal values), and the
// pattern of those bits halfway between two floats.
constexpr int64_t kDroppedBits = (int64_t{1} << 29) - 1;
constexpr int64_t kHalfway = int64_t{1} << 28;
// How close to a midpoint, in double ulps, a fast result may come. FastExp is within
// 2^-44 of exp(e) relatively, at most 2^9 ulps, and the C library's exp within one ulp;
// a product with 1/sigma is within 4 ulps of the quotient.
constexpr int64_t kExpMargin = 1024;
constexpr int64_t kQuotientMargin = 16;

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

// Lanes of v (a double) within `margin` double ulps of a midpoint between two floats.
// The dropped bits minus the halfway pattern, plus the margin, taken mod 2^29, are at
// most 2 * margin there; across a power of 2 the nearest midpoint is 2^28 ulps away.
template <int64_t margin, class D>
HWY_INLINE hn::Mask<D> NearHalfway(D d, hn::Vec<D> v) {
  const hn::RebindToSigned<D> di;
  const auto offset = hn::And(hn::Add(hn::BitCast(di, v), hn::Set(di, margin - kHalfway)),
                              hn::Set(di, kDroppedBits));
  return hn::RebindMask(d, hn::Lt(offset, hn::Set(di, 2 * margin + 1)));
}

// The Taylor coefficients 1/n! of exp, each rounded once.
constexpr int kTaylorDegree = 11;
constexpr std::array<double, kTaylorDegree + 1> kInverseFactorial = [] {
  std::array<double, kTaylorDegree + 1> coefficient{};
  double factorial = 1.0;
  for (int n = 0; n <= kTaylorDegree; ++n) {
    if (n > 1) factorial *= n;
    coefficient[n] = 1.0 / factorial;
  }
  return coefficient;
}();

// exp(e) for -87 <= e <= 0 by e = k ln 2 + r, |r| <= ln 2 / 2 (and a hair): 2^k goes into
// the exponent bits, exp(r) is the Taylor polynomial of degree 11, whose remainder is
// below |r|^12 / 12! < 2^-47. With the rounding of ln 2 (k ln 2 is off by at most
// 2^-47) and of the eleven steps of Horner's scheme, the result is within 2^-44 of
// exp(e), relatively (2^-45.7 at worst over the floats in range). exp(0) is exactly 1.
template <class D>
HWY_INLINE hn::Vec<D> FastExp(D d, hn::Vec<D> e) {
  const hn::RebindToSigned<D> di;
  constexpr double kShifter = 0x1.8p52;  // adding it rounds to an integer, kept in the low bits
  constexpr double kLn2 = 0x1.62e42fefa39efp-1;
  constexpr double kInverseLn2 = 0x1.71547652b82fep+0;
  const hn::Vec<D> shifted = hn::MulAdd(e, hn::Set(d, kInverseLn2), hn::Set(d, kShifter));
  const hn::Vec<D> k = hn::Sub(shifted, hn::Set(d, kShifter));
  const hn::Vec<D> r = hn::NegMulAdd(k, hn::Set(d, kLn2), e);
  // The low bits of `shifted` hold k; k + 1023 is the biased exponent of 2^k.
  const auto biased = hn::Sub(hn::BitCast(di, shifted),
                              hn::Set(di, std::bit_cast<int64_t>(kShifter) - 1023));
  const hn::Vec<D> twoToTheK = hn::BitCast(d, hn::ShiftLeft<52>(biased));
  hn::Vec<D> sum = hn::Set(d, kInverseFactorial[kTaylorDegree]);
#pragma GCC unroll 16
  for (int n = kTaylorDegree - 1; n >= 0; --n) {
    sum = hn::MulAdd(sum, r, hn::Set(d, kInverseFactorial[n]));
  }
  return hn::Mul(sum, twoToTheK);
}

// The C library's exponential, lane by lane.
template <class D>
HWY_NOINLINE hn::Vec<D> ExactExp(D d, hn::Vec<D> e) {
  HWY_ALIGN double lanes[kMaxLanes];
  hn::Store(e, d, lanes);
  for (size_t i = 0; i < hn::Lanes(d); ++i) lanes[i] = std::exp(lanes[i]);
  return hn::Load(d, lanes);
}

// The fast way marks in `unsure` the lanes it cannot vouch for; the exact way repeats
// the scalar code.
enum class Way { kFast, kExact };

// The numerator x - y over sigma, rounded to single precision as the scalar code
// rounds the double quotient. (Below the normal floats the midpoints lie elsewhere,
// but there any two values give the same density: the exponent of a square below
// 2^-248 rounds to -ln sqrt(2 pi) either way.)
template <Way way, class D>
HWY_INLINE hn::Vec<D> SingleQuotient(D d, hn::Vec<D> numerator, const PropagationTerms& terms,
                                     hn::Mask<D>& unsure) {
  if constexpr (way == Way::kExact) {
    return RoundToSingle(d, hn::Div(numerator, hn::Set(d, terms.step)));
  } else {
    const hn::Vec<D> product = hn::Mul(numerator, hn::Set(d, terms.inverseStep));
    unsure = hn::Or(unsure, NearHalfway<kQuotientMargin>(d, product));
    return RoundToSingle(d, product);
  }
}

// densityExponent of single-precision values held in double lanes.
template <class D>
HWY_INLINE hn::Vec<D> DensityExponent(D d, hn::Vec<D> x) {
  // -(0.5 x x), exactly: rounding to nearest is symmetric about 0.
  const hn::Vec<D> negativeSquare = hn::Mul(hn::Mul(hn::Set(d, -0.5), x), x);
  return RoundToSingle(d, hn::Sub(negativeSquare, hn::Set(d, double(kLogRootTwoPi))));
}

// densityOfExponent of single-precision values held in double lanes.
template <Way way, class D>
HWY_INLINE hn::Vec<D> DensityOfExponent(D d, hn::Vec<D> e, hn::Mask<D>& unsure) {
  const auto usable = hn::Gt(e, hn::Set(d, double(kDensityExponentCutoff)));
  // Lanes below the cut-off (or NaN) are given exp(0) = 1 and discarded at the end.
  const hn::Vec<D> exponent = hn::IfThenElseZero(usable, e);
  hn::Vec<D> value;
  if constexpr (way == Way::kExact) {
    value = ExactExp(d, exponent);
  } else {
    value = FastExp(d, exponent);
    unsure = hn::Or(unsure, NearHalfway<kExpMargin>(d, value));
  }
  return hn::IfThenElseZero(usable, RoundToSingle(d, value));
}

// propagatedDensity at the points y, before its final rounding to single precision.
template <Way way, class D>
HWY_INLINE hn::Vec<D> PropagatedDensity(D d, const PropagationTerms& terms, hn::Vec<D> y,
                                        hn::Mask<D>& unsure) {
  hn::Vec<D> sum = hn::Zero(d);
  for (int m = 0; m < kQuadratureNodes; ++m) {
    const hn::Vec<D> fromAbove =
        SingleQuotient<way>(d, hn::Sub(hn::Set(d, terms.node[m]), y), terms, unsure);
    const hn::Vec<D> fromBelow =
        SingleQuotient<way>(d, hn::Sub(hn::Set(d, -terms.node[m]), y), terms, unsure);
    const hn::Vec<D> pair =
        hn::Add(DensityOfExponent<way>(d, DensityExponent(d, fromAbove), unsure),
                DensityOfExponent<way>(d, DensityExponent(d, fromBelow), unsure));
    sum = hn::Add(sum, hn::Mul(hn::Set(d, terms.weighted[m]), pair));
  }
  return hn::Mul(hn::Set(d, terms.scale), sum);
}

// The fast way, or the exact one where the fast one is unsure.
template <class D>
HWY_INLINE hn::Vec<hn::Rebind<float, D>> SingleDensity(D d, const PropagationTerms& terms,
                                                       hn::Vec<D> y) {
  auto unsure = hn::MaskFromVec(hn::Zero(d));
  hn::Vec<D> value = PropagatedDensity<Way::kFast>(d, terms, y, unsure);
  if (HWY_UNLIKELY(!hn::AllFalse(d, unsure))) {
    value = PropagatedDensity<Way::kExact>(d, terms, y, unsure);
  }
  return ToSingle(d, value);
}

void PropagatedDensities(const PropagationTerms& terms, const double* y, float* density,
                         size_t count) {
  const hn::ScalableTag<double> d;
  const hn::Rebind<float, decltype(d)> df;
  const size_t lanes = hn::Lanes(d);
  size_t i = 0;
  for (; i + lanes <= count; i += lanes) {
    hn::StoreU(SingleDensity(d, terms, hn::LoadU(d, y + i)), df, density + i);
  }
  if (i == count) return;
  // The last points, padded with y = 0.
  HWY_ALIGN double restY[kMaxLanes] = {};
  HWY_ALIGN float restDensity[kMaxLanes];
  for (size_t j = i; j < count; ++j) restY[j - i] = y[j];
  hn::Store(SingleDensity(d, terms, hn::Load(d, restY)), df, restDensity);
  for (size_t j = i; j < count; ++j) density[j] = restDensity[j - i];
}

// Here only the unsure lanes are replaced, and counted, so that the test sees every
// fast value that is kept.
template <class D>
HWY_INLINE hn::Vec<D> CheckedDensityOfExponent(D d, hn::Vec<D> e, size_t& fallbacks) {
  auto unsure = hn::MaskFromVec(hn::Zero(d));
  const hn::Vec<D> value = DensityOfExponent<Way::kFast>(d, e, unsure);
  if (HWY_LIKELY(hn::AllFalse(d, unsure))) return value;
  fallbacks += hn::CountTrue(d, unsure);
  return hn::IfThenElse(unsure, DensityOfExponent<Way::kExact>(d, e, unsure), value);
}

size_t DensitiesOfExponents(const float* exponent, float* density, size_t count) {
  const hn::ScalableTag<double> d;
  const hn::Rebind<float, decltype(d)> df;
  const size_t lanes = hn::Lanes(d);
  size_t fallbacks = 0;
  size_t i = 0;
  for (; i + lanes <= count; i += lanes) {
    const auto e = hn::PromoteTo(d, hn::LoadU(df, exponent + i));
    hn::StoreU(ToSingle(d, CheckedDensityOfExponent(d, e, fallbacks)), df, density + i);
  }
  if (i == count) return fallbacks;
  HWY_ALIGN float rest[kMaxLanes] = {};  // the last exponents, padded with 0
  for (size_t j = i; j < count; ++j) rest[j - i] = exponent[j];
  const auto e = hn::PromoteTo(d, hn::Load(df, rest));
  hn::Store(ToSingle(d, CheckedDensityOfExponent(d, e, fallbacks)), df, rest);
  for (size_t j = i; j < count; ++j) density[j] = rest[j - i];
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
  terms.inverseStep = 1.0 / terms.step;
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
