// [accrual] and allocation_ratio of the keyed design file: the accrual period, its
// pieces, and at most one of a bracket for the search, a rate or a number of patients
// (none: the bracket comes from the analytic rate).

#include <cmath>

#include "input/accrual_profile.h"
#include "input/design_limits.h"
#include "input/keyed_sections.h"
#include "report/message_text.h"

namespace survseq::input {

namespace {

constexpr double kPieceSumTolerance = 1e-5;  // relative to the accrual period
// Patients per unit of rate beyond which no simulated trial could be held anyway; keeps
// every rate and patient count computed from the accrual finite.
constexpr float kLargestAccrualWeight = 1e30f;
// The rate that enrols a given number of patients must stay a finite float.
constexpr double kLargestRate = 1e30;

std::string shown(float value) { return report::numberText(value); }

void requirePositive(const KeyedTable& accrual, std::string_view key, float value) {
  if (!(value > 0.0f)) accrual.fail(key, "must be above 0 (got " + shown(value) + ")");
}

void readPieces(const KeyedTable& accrual, DesignParameters& design) {
  const auto durations = accrual.reals("piece_durations", 1, MaxAccrualPieces);
  const auto rates = accrual.reals("relative_rates", 1, MaxAccrualPieces);
  if (!durations && !rates) return;
  const size_t count = durations ? durations->size() : rates->size();
  if (durations && rates && rates->size() != count) {
    accrual.fail("relative_rates", "has " + std::to_string(rates->size()) +
                                       " values but accrual.piece_durations " +
                                       std::to_string(count));
  }
  double sum = 0.0;
  bool anyEnrols = false;
  for (size_t i = 1; i <= count; ++i) {
    // Relative rates alone divide the accrual period into pieces of equal duration.
    const float duration =
        durations ? (*durations)[i - 1]
                  : static_cast<float>(double(design.accrualPeriod) / double(count));
    const float rate = rates ? (*rates)[i - 1] : 1.0f;
    if (!(duration > 0.0f)) {
      accrual.fail("piece_durations", "duration " + std::to_string(i) + " (" + shown(duration) +
                                          ") is not above 0");
    }
    if (rate < 0.0f) {
      accrual.fail("relative_rates",
                   "relative rate " + std::to_string(i) + " (" + shown(rate) + ") is negative");
    }
    anyEnrols = anyEnrols || rate > 0.0f;
    sum += duration;
    design.accrualPieceDurations[i] = duration;
    design.accrualRelativeRates[i] = rate;
  }
  if (!anyEnrols) accrual.fail("relative_rates", "must not all be 0: no patient would enter");
  if (durations && std::fabs(sum - double(design.accrualPeriod)) >
                       kPieceSumTolerance * double(design.accrualPeriod)) {
    accrual.fail("piece_durations", "add up to " + shown(static_cast<float>(sum)) +
                                        ", not to accrual.period (" +
                                        shown(design.accrualPeriod) + ")");
  }
  design.accrualPieceCount = static_cast<int32_t>(count);
  if (!(accrualWeight(design) <= kLargestAccrualWeight)) {
    accrual.fail("relative_rates", "are too large: the accrual would enrol more than " +
                                       shown(kLargestAccrualWeight) + " patients per unit of rate");
  }
}

// At most kMaxPatientsPerTrial patients at `rate` over the accrual.
void requireSimulatedSize(const KeyedTable& accrual, std::string_view key,
                          const DesignParameters& design, float rate) {
  if (double(rate) * accrualWeight(design) <= kMaxPatientsPerTrial) return;
  accrual.fail(key, "gives more than " + std::to_string(static_cast<int64_t>(kMaxPatientsPerTrial)) +
                        " patients per trial (rate " + shown(rate) + " over the accrual)");
}

void readBracket(const KeyedTable& accrual, DesignParameters& design) {
  accrual.require("rate_lower", "a bracket needs both rate_lower and rate_upper");
  accrual.require("rate_upper", "a bracket needs both rate_lower and rate_upper");
  design.accrualRateLower = *accrual.real("rate_lower");
  design.accrualRateUpper = *accrual.real("rate_upper");
  requirePositive(accrual, "rate_lower", design.accrualRateLower);
  requirePositive(accrual, "rate_upper", design.accrualRateUpper);
  if (design.accrualRateUpper < design.accrualRateLower) {
    accrual.fail("rate_upper", "must not be below accrual.rate_lower (got " +
                                   shown(design.accrualRateUpper) + " and " +
                                   shown(design.accrualRateLower) + ")");
  }
  accrual.atKey("rate_upper", [&] { requireFeasibleAccrual(design, 0); });
  requireSimulatedSize(accrual, "rate_upper", design, design.accrualRateUpper);
  design.accrualRate = design.accrualRateUpper;
}

void readGivenSize(const KeyedTable& accrual, DesignParameters& design) {
  if (const auto rate = accrual.real("rate")) {
    requirePositive(accrual, "rate", *rate);
    requireSimulatedSize(accrual, "rate", design, *rate);
    design.accrualForm = AccrualForm::GivenRate;
    design.accrualRate = *rate;
    if (patientsAtRate(design, *rate) < 1) {
      accrual.fail("rate", "gives no patient over the accrual (rate " + shown(*rate) + ")");
    }
  } else {
    const int32_t patients = *accrual.whole("patients");
    if (patients < 1 || patients > kMaxPatientsPerTrial) {
      accrual.fail("patients", "must lie between 1 and " +
                                   std::to_string(static_cast<int64_t>(kMaxPatientsPerTrial)) +
                                   " (got " + std::to_string(patients) + ")");
    }
    if (!(double(patients) / accrualWeight(design) <= kLargestRate)) {
      accrual.fail("patients", "cannot enter in an accrual this short (" +
                                   std::to_string(patients) + " patients)");
    }
    design.accrualForm = AccrualForm::GivenPatients;
    design.givenPatients = patients;
    design.accrualRate = rateForPatients(design, patients);
  }
  design.accrualRateLower = design.accrualRateUpper = design.accrualRate;
}

void readForm(const KeyedTable& accrual, DesignParameters& design) {
  const bool bracket = accrual.has("rate_lower") || accrual.has("rate_upper");
  const int forms = int(bracket) + int(accrual.has("rate")) + int(accrual.has("patients"));
  if (forms > 1) {
    accrual.fail(accrual.has("patients") ? "patients" : "rate",
                 "give one of rate_lower and rate_upper (a search), rate or patients");
  }
  if (bracket) {
    readBracket(accrual, design);
  } else if (forms == 1) {
    readGivenSize(accrual, design);
  } else {
    design.accrualForm = AccrualForm::AnalyticStart;
  }
}

// Fixed event targets leave the power nearly unmoved by the rate, so they need a size.
void requireSizeForEventTargets(const KeyedTable& root, const DesignParameters& design) {
  if (design.analysisTiming != AnalysisTiming::FixedEvents) return;
  if (design.accrualForm != AccrualForm::GivenRate &&
      design.accrualForm != AccrualForm::GivenPatients) {
    root.fail("analysis_events", "need a given size ([accrual] rate or patients): with fixed "
                                 "event targets there is no rate to search for");
  }
  const int32_t patients = patientsAtRate(design, design.accrualRate);
  const int32_t last = design.analysisEvents[static_cast<size_t>(design.analysisCount)];
  if (last > patients) {
    root.fail("analysis_events", "the last event target (" + std::to_string(last) +
                                     ") is above the patients of a trial (" +
                                     std::to_string(patients) + ")");
  }
}

}  // namespace

void readKeyedAccrual(const KeyedTable& root, DesignParameters& design) {
  root.require("accrual", "give at least [accrual] period");
  const KeyedTable accrual(*root.table("accrual"), "accrual", root.fileName());
  accrual.require("period", "the accrual period is needed in every design");
  design.accrualPeriod = *accrual.real("period");
  requirePositive(accrual, "period", design.accrualPeriod);
  readPieces(accrual, design);
  readForm(accrual, design);

  design.allocationRatio = root.real("allocation_ratio").value_or(1.0f);
  if (!(design.allocationRatio > 0.0f)) {
    root.fail("allocation_ratio", "must be above 0 (got " + shown(design.allocationRatio) + ")");
  }
  requireSizeForEventTargets(root, design);
}

}  // namespace survseq::input
