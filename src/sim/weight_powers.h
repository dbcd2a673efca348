#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "input/design_parameters.h"
#include "sim/probability_powers.h"

namespace survseq::sim {

// Where the statistics find the factors of their weights S^rho (1-S)^tau and
// S^(2 rho) (1-S)^(2 tau) at an event: in a table of powers filled once per event. Its
// first entries are what the plain shortcuts give (1, S, S^2, 1 - S); after them come
// the other powers, each distinct one once.
class WeightPowers {
 public:
  WeightPowers(int32_t statisticCount, const input::StatisticValues& rho,
               const input::StatisticValues& tau) {
    for (int32_t i = 1; i <= statisticCount; ++i) {
      const double r = rho[i];
      const double t = tau[i];
      factors_[i] = {placeOf(r, false), placeOf(t, true), placeOf(2.0 * r, false),
                     placeOf(2.0 * t, true)};
    }
  }

  // The table at the survival estimate s, which must lie in the shortcuts' range (the
  // caller takes each power itself otherwise).
  void fill(float s) {
    const double survival = s;
    const double complement = 1.0 - survival;
    table_[kOne] = 1.0;
    table_[kSurvival] = survival;
    table_[kSurvivalSquared] = survival * survival;
    table_[kComplement] = complement;
    for (size_t k = kFirstOther; k < count_; ++k) {
      table_[k] = shortcutPower(shortcuts_[k], s, complements_[k] ? complement : survival,
                                exponents_[k]);
    }
  }

  double weight(int32_t i) const { return table_[factors_[i][0]] * table_[factors_[i][1]]; }
  double varianceWeight(int32_t i) const {
    return table_[factors_[i][2]] * table_[factors_[i][3]];
  }

 private:
  static constexpr size_t kOne = 0, kSurvival = 1, kSurvivalSquared = 2, kComplement = 3;
  static constexpr size_t kFirstOther = 4;
  static constexpr size_t kMost = kFirstOther + 4 * input::MaxStatistics;

  size_t placeOf(double exponent, bool complement) {
    const PowerShortcut shortcut =
        complement ? complementShortcut(exponent) : probabilityShortcut(exponent);
    switch (shortcut) {
      case PowerShortcut::One: return kOne;
      case PowerShortcut::Base: return complement ? kComplement : kSurvival;
      case PowerShortcut::ExactSquare: return kSurvivalSquared;
      default: break;
    }
    // Exponents are compared as bit patterns: equal ones give equal powers.
    for (size_t k = kFirstOther; k < count_; ++k) {
      if (complements_[k] == complement &&
          std::bit_cast<uint64_t>(exponents_[k]) == std::bit_cast<uint64_t>(exponent)) {
        return k;
      }
    }
    exponents_[count_] = exponent;
    complements_[count_] = complement;
    shortcuts_[count_] = shortcut;
    return count_++;
  }

  std::array<std::array<size_t, 4>, input::MaxStatistics + 1> factors_{};
  std::array<double, kMost> exponents_{};
  std::array<bool, kMost> complements_{};
  std::array<PowerShortcut, kMost> shortcuts_{};
  size_t count_ = kFirstOther;
  std::array<double, kMost> table_{};
};

}  // namespace survseq::sim
