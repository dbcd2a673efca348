#include "sim/event_beyond_cut.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "sim/uniform_generator.h"

namespace survseq::sim {

namespace {

// The single-precision numbers of [0, 1] in order are the bit patterns 0..kOne.
constexpr uint32_t kOne = 0x3F800000u;
constexpr double kSmallestExponent = 1e-6;

float numberAt(uint32_t bits) { return std::bit_cast<float>(bits); }

bool positiveFinite(double x) { return x > 0.0 && std::isfinite(x); }

// The hazards the pieces of the curve's inversion divide by, for the pieces some u in
// (0, 1) reaches: positive and finite. Interval i serves u = s[i] if it serves any u; the
// extrapolation with the last hazard serves the smallest u if any.
bool invertsMonotonely(const CurveHazards& curve) {
  const input::SurvivalCurve& points = *curve.curve;
  const int n = points.count;
  for (int i = 0; i <= n; ++i) {
    if (!std::isfinite(points.x[i]) || !(points.s[i] > 0.0f)) return false;
  }
  for (int i = 1; i <= n; ++i) {
    if (inversionPiece(points, points.s[i]) == i && !positiveFinite(curve.hazard[i])) return false;
  }
  return inversionPiece(points, numberAt(1)) != n + 1 || positiveFinite(curve.hazard[n]);
}

// The flips of "beyond" over [0, 1], given the piece of each u (never increasing as u
// grows) and "beyond" true on a first run of each piece.
template <class PieceOf, class Beyond>
void findFlips(PieceOf pieceOf, Beyond beyond, bool& atZero, std::vector<float>& flips) {
  flips.clear();
  bool current = beyond(0.0f);
  atZero = current;
  uint32_t low = 0;
  for (;;) {
    const int piece = pieceOf(numberAt(low));
    uint32_t a = low;
    uint32_t b = kOne;
    while (a < b) {  // the last number of the piece
      const uint32_t middle = a + (b - a + 1) / 2;
      if (pieceOf(numberAt(middle)) == piece) {
        a = middle;
      } else {
        b = middle - 1;
      }
    }
    const uint32_t high = a;
    uint32_t first = low;  // the first number of the piece not beyond, or high + 1
    uint32_t end = high + 1;
    while (first < end) {
      const uint32_t middle = first + (end - first) / 2;
      if (beyond(numberAt(middle))) {
        first = middle + 1;
      } else {
        end = middle;
      }
    }
    if (first > low && !current) {
      flips.push_back(numberAt(low));
      current = true;
    }
    if (first <= high && current) {
      flips.push_back(numberAt(first));
      current = false;
    }
    if (high == kOne) return;
    low = high + 1;
  }
}

}  // namespace

void EventBeyondCut::setFlips(bool atZero, const std::vector<float>& numbers) {
  atZero_ = atZero;
  flips_.clear();
  for (const float number : numbers) {
    const int32_t residue = UniformGenerator::residueFrom(number);
    // Flips closer than one residue apart cancel; one at the end is never reached.
    if (!flips_.empty() && flips_.back() == residue) {
      flips_.pop_back();
    } else {
      flips_.push_back(residue);
    }
  }
  single_ = atZero_ && flips_.size() == 1;
  belowResidue_ = single_ ? flips_[0] : 0;
}

std::optional<EventBeyondCut> EventBeyondCut::forCurve(const CurveHazards& curve, float t) {
  if (!invertsMonotonely(curve)) return std::nullopt;
  bool atZero = true;
  std::vector<float> flips;
  findFlips([&curve](float u) { return inversionPiece(*curve.curve, u); },
            [&curve, t](float u) { return timeAtSurvival(curve, u) > t; }, atZero, flips);
  EventBeyondCut cut;
  cut.setFlips(atZero, flips);
  return cut;
}

std::optional<EventBeyondCut> EventBeyondCut::forHazardRatio(const HazardRatioLaw& law, float t) {
  if (!invertsMonotonely(law.baseline) || writesWarnings(law)) return std::nullopt;
  // u = 0 reaches the last interval any u reaches (see writesWarnings); the intervals
  // no u reaches need nothing.
  const int reached = hazardRatioTarget(law, 0.0f, nullptr).interval;
  for (int k = 1; k <= std::min(reached, law.lastInterval); ++k) {
    if (!positiveFinite(law.p[k]) || !std::isfinite(law.exponent[k]) ||
        law.exponent[k] < kSmallestExponent) {
      return std::nullopt;
    }
  }
  if (reached > law.lastInterval && !positiveFinite(law.pBeyond)) return std::nullopt;
  // The ratio's interval first, then the baseline's piece within it.
  constexpr int kPiecesPerInterval = input::MaxIntervals + 3;
  bool atZero = true;
  std::vector<float> flips;
  findFlips(
      [&law](float u) {
        const HazardRatioTarget target = hazardRatioTarget(law, u, nullptr);
        return target.interval * kPiecesPerInterval +
               inversionPiece(*law.baseline.curve, target.survival);
      },
      [&law, t](float u) {
        return timeAtSurvival(law.baseline, hazardRatioTarget(law, u, nullptr).survival) > t;
      },
      atZero, flips);
  EventBeyondCut cut;
  cut.setFlips(atZero, flips);
  return cut;
}

}  // namespace survseq::sim
