// [combination] of the keyed design file: the statistics whose maximum is the trial's test.

#include <string>

#include "input/keyed_sections.h"

namespace survseq::input {

void readKeyedCombination(const KeyedTable& root, DesignParameters& design) {
  const toml::table* table = root.table("combination");
  if (table == nullptr) return;
  const KeyedTable combination(*table, "combination", root.fileName());
  const auto refuseAll = [&](const std::string& why) { root.fail("combination", why); };
  if (design.statisticCount < 2) {
    refuseAll("needs at least two [[statistics]]; this design has " +
              std::to_string(design.statisticCount));
  }
  if (design.futility && design.futilityBinding) {
    refuseAll("cannot be used with a binding futility rule (set binding = false)");
  }
  std::vector<int32_t> chosen;
  if (combination.has("statistics")) {
    chosen = *combination.wholes("statistics", 2, static_cast<size_t>(design.statisticCount));
  } else {
    for (int32_t s = 1; s <= design.statisticCount; ++s) chosen.push_back(s);
  }
  for (size_t i = 0; i < chosen.size(); ++i) {
    if (chosen[i] < 1 || chosen[i] > design.statisticCount) {
      combination.fail("statistics", "statistic " + std::to_string(chosen[i]) +
                                         " does not exist; the [[statistics]] are numbered 1 to " +
                                         std::to_string(design.statisticCount));
    }
    for (size_t j = 0; j < i; ++j) {
      if (chosen[j] == chosen[i]) {
        combination.fail("statistics",
                         "names statistic " + std::to_string(chosen[i]) + " twice");
      }
    }
    design.combinationStatistics[i] = chosen[i];
  }
  design.combinationCount = static_cast<int32_t>(chosen.size());
}

}  // namespace survseq::input
