#include "input/keyed_vocabulary.h"

#include <algorithm>
#include <array>
#include <vector>

namespace survseq::input {

namespace {

using Keys = std::span<const std::string_view>;

constexpr std::string_view kTopLevel[] = {
    "report_file", "seed", "analysis_times", "analysis_timing", "analysis_events",
    "allocation_ratio", "statistics", "simulations_per_iteration", "type_one_error", "sides",
    "boundary", "futility", "combination", "accrual", "desired_power", "baseline_survival",
    "alternative", "censoring_control", "censoring_treatment", "drop_in", "drop_out",
    "planned_information"};
constexpr std::string_view kStatistic[] = {"rho", "tau"};
constexpr std::string_view kBoundary[] = {"method",   "use_function", "b",
                                          "gamma",    "exponent",     "error_shares",
                                          "critical_values"};
constexpr std::string_view kFutility[] = {"z", "binding"};
constexpr std::string_view kCombination[] = {"statistics"};
constexpr std::string_view kAccrual[] = {"period",   "rate_lower",      "rate_upper",
                                         "rate",     "patients",        "piece_durations",
                                         "relative_rates"};
constexpr std::string_view kCurve[] = {"times", "survival", "median", "hazard_rates",
                                       "interval_ends"};
constexpr std::string_view kAlternative[] = {"kind",   "hazard_ratio", "hazard_ratios",
                                             "interval_ends", "times", "survival",
                                             "median", "hazard_rates"};
constexpr std::string_view kCensoring[] = {"lost",         "by",          "times", "survival",
                                           "median",       "hazard_rates", "interval_ends"};
constexpr std::string_view kDropPoints[] = {"times", "rates"};

struct TableKeys {
  std::string_view table;
  Keys keys;
};

// In the order a design file lists its tables.
constexpr std::array<TableKeys, 12> kTables{{{"", kTopLevel},
                                             {"statistics", kStatistic},
                                             {"boundary", kBoundary},
                                             {"futility", kFutility},
                                             {"combination", kCombination},
                                             {"accrual", kAccrual},
                                             {"baseline_survival", kCurve},
                                             {"alternative", kAlternative},
                                             {"censoring_control", kCensoring},
                                             {"censoring_treatment", kCensoring},
                                             {"drop_in", kDropPoints},
                                             {"drop_out", kDropPoints}}};

std::string shownTable(std::string_view table) {
  const std::string name(table);
  return table == "statistics" ? "[[" + name + "]]" : "[" + name + "]";
}

}  // namespace

std::span<const std::string_view> keysOfTable(std::string_view table) {
  for (const TableKeys& entry : kTables) {
    if (entry.table == table) return entry.keys;
  }
  return {};
}

std::string whereKeyBelongs(std::string_view key, std::string_view table) {
  std::vector<std::string_view> owners;
  for (const TableKeys& entry : kTables) {
    if (entry.table == table) continue;
    if (std::find(entry.keys.begin(), entry.keys.end(), key) != entry.keys.end()) {
      owners.push_back(entry.table);
    }
  }
  if (owners.empty()) return "";
  const std::string shown = "`" + std::string(key) + "` belongs ";
  if (owners.front().empty()) return shown + "at the top level, above the first table";
  std::string where = shown + "in ";
  for (size_t i = 0; i < owners.size(); ++i) {
    if (i > 0) where += i + 1 == owners.size() ? " or " : ", ";
    where += shownTable(owners[i]);
  }
  return where;
}

}  // namespace survseq::input
