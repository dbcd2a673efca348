// The survival curves, the alternative and the drop-in and drop-out tables of the keyed
// design file. A curve is given by `times` and `survival` (its points after (0, 1)), by
// `median` (exponential: S(median) = 1/2, the hazard continuing beyond), or by
// `hazard_rates` on intervals ending at `interval_ends` (S = exp(-cumulative hazard)).
// A censoring curve may also be given as the share `lost` to follow-up by the time `by`
// (exponential: S(by) = 1 - lost).

#include <cmath>

#include "input/curve_limits.h"
#include "input/design_limits.h"
#include "input/keyed_sections.h"
#include "report/message_text.h"

namespace survseq::input {

namespace {

constexpr float kSurvivalFloor = 0.00001f;       // the positional file raises less to it
constexpr float kHazardRatioZeroTest = 1e-10f;  // the positional file replaces less by 1

std::string shown(float value) { return report::numberText(value); }

const char* const kCurveForms = "give times and survival, median, or interval_ends and hazard_rates";

bool hasCurve(const KeyedTable& table) {
  return table.has("times") || table.has("survival") || table.has("median") ||
         table.has("hazard_rates");
}

// The points of a curve given by hazard rates on the intervals ending at `ends`.
void integrateHazards(const KeyedTable& table, const std::vector<float>& ends,
                      SurvivalCurve& curve) {
  const std::vector<float> rates =
      *table.reals("hazard_rates", ends.size(), ends.size());
  double cumulative = 0.0;
  for (size_t i = 1; i <= ends.size(); ++i) {
    if (rates[i - 1] < 0.0f) {
      table.fail("hazard_rates", "hazard rate " + std::to_string(i) + " (" +
                                     shown(rates[i - 1]) + ") is negative");
    }
    cumulative += double(rates[i - 1]) * (double(ends[i - 1]) - double(curve.x[i - 1]));
    curve.x[i] = ends[i - 1];
    curve.s[i] = static_cast<float>(std::exp(-cumulative));
  }
}

// Fills `curve` from one of the three forms; `what` names it in the shape errors.
void readCurve(const KeyedTable& table, const char* what, SurvivalCurve& curve) {
  curve.x[0] = 0.0f;
  curve.s[0] = 1.0f;
  const int forms = int(table.has("times") || table.has("survival")) + int(table.has("median")) +
                    int(table.has("hazard_rates"));
  if (forms != 1) table.fail(forms == 0 ? "times" : "median", kCurveForms);
  std::string valueKey = "survival";
  if (const auto median = table.real("median")) {
    if (!(*median > 0.0f)) table.fail("median", "must be above 0 (got " + shown(*median) + ")");
    curve.count = 1;
    curve.x[1] = *median;
    curve.s[1] = 0.5f;
    return;
  }
  if (table.has("hazard_rates")) {
    table.require("interval_ends", "hazard_rates need the right ends of their intervals");
    const std::vector<float> ends = *table.reals("interval_ends", 1, MaxIntervals);
    curve.count = static_cast<int32_t>(ends.size());
    table.atKey("interval_ends", [&] {
      for (size_t i = 1; i <= ends.size(); ++i) curve.x[i] = ends[i - 1];
      requireRisingCutPoints(curve.x, curve.count, what, 0);
    });
    integrateHazards(table, ends, curve);
    valueKey = "hazard_rates";
  } else {
    table.refuse("interval_ends", "belongs to hazard_rates (or, for the alternative, hazard_ratios)");
    table.require("times", "a curve by its points needs times and survival");
    table.require("survival", "a curve by its points needs times and survival");
    const std::vector<float> times = *table.reals("times", 1, MaxIntervals);
    const std::vector<float> survival = *table.reals("survival", times.size(), times.size());
    curve.count = static_cast<int32_t>(times.size());
    for (size_t i = 1; i <= times.size(); ++i) {
      curve.x[i] = times[i - 1];
      curve.s[i] = survival[i - 1];
    }
    table.atKey("times", [&] { requireRisingCutPoints(curve.x, curve.count, what, 0); });
  }
  table.atKey(valueKey, [&] { requireNonRisingSurvival(curve, what, 0); });
  const float last = curve.s[static_cast<size_t>(curve.count)];
  if (!(last >= kSurvivalFloor)) {
    table.fail(valueKey, "the last survival value of " + std::string(what) + " is " +
                             shown(last) + "; it must be at least 0.00001");
  }
}

void readBaseline(const KeyedTable& root, DesignParameters& design) {
  root.require("baseline_survival", "the control arm's survival curve is needed");
  const KeyedTable table(*root.table("baseline_survival"), "baseline_survival", root.fileName());
  readCurve(table, "the baseline curve", design.baselineCurve);
}

void readHazardRatios(const KeyedTable& table, DesignParameters& design) {
  std::vector<float> ends;
  std::vector<float> ratios;
  if (const auto ratio = table.real("hazard_ratio")) {
    table.refuse("hazard_ratios", "give hazard_ratio (constant) or hazard_ratios, not both");
    table.refuse("interval_ends", "a constant hazard_ratio has no intervals");
    // The ratio holds up to the last analysis, beyond which the trials see nothing; looks
    // at event targets may come later than any planned time, so there it holds up to the
    // latest analysis time supported.
    const bool calendar = design.analysisTiming == AnalysisTiming::Calendar;
    ends = {calendar ? design.analysisTimes[static_cast<size_t>(design.analysisCount)]
                     : kLatestAnalysisTime};
    ratios = {*ratio};
  } else {
    table.require("interval_ends", "hazard_ratios need the right ends of their intervals");
    ends = *table.reals("interval_ends", 1, MaxIntervals);
    ratios = *table.reals("hazard_ratios", ends.size(), ends.size());
  }
  design.alternativeKind = HazardRatiosGiven;
  design.hazardRatioCount = static_cast<int32_t>(ends.size());
  for (size_t i = 1; i <= ends.size(); ++i) {
    design.hazardRatioCuts[i] = ends[i - 1];
    design.hazardRatios[i] = ratios[i - 1];
  }
  const char* const ratioKey = table.has("hazard_ratio") ? "hazard_ratio" : "hazard_ratios";
  table.atKey(table.has("hazard_ratio") ? "hazard_ratio" : "interval_ends", [&] {
    requireRisingCutPoints(design.hazardRatioCuts, design.hazardRatioCount,
                           "the treatment intervals", 0);
  });
  for (size_t i = 1; i <= ends.size(); ++i) {
    if (design.hazardRatios[i] > kHazardRatioZeroTest) continue;
    table.fail(ratioKey, "hazard ratio " + std::to_string(i) + " (" +
                             shown(design.hazardRatios[i]) + ") must be above 0");
  }
}

void readAlternative(const KeyedTable& root, DesignParameters& design) {
  root.require("alternative", "the treatment effect is needed (e.g. hazard_ratio = 0.7)");
  const KeyedTable table(*root.table("alternative"), "alternative", root.fileName());
  const bool byRatio = table.has("hazard_ratio") || table.has("hazard_ratios");
  if (byRatio && hasCurve(table)) {
    table.fail(table.has("hazard_ratio") ? "hazard_ratio" : "hazard_ratios",
               "give hazard ratios or a survival curve of the treatment arm, not both");
  }
  if (const auto kind = table.text("kind")) {
    const char* const expected = byRatio ? "hazard_ratios" : "survival_curve";
    if (*kind != expected) {
      table.fail("kind", "is \"" + report::echoedValue(*kind) + "\" but the values give \"" +
                             expected + "\"");
    }
  }
  if (byRatio) {
    readHazardRatios(table, design);
    return;
  }
  if (!hasCurve(table)) {
    table.fail("hazard_ratio", "give hazard_ratio, interval_ends and hazard_ratios, or the "
                               "treatment arm's survival curve");
  }
  design.alternativeKind = SurvivalCurveGiven;
  readCurve(table, "the treatment curve", design.alternativeCurve);
  design.hazardRatioCount = design.alternativeCurve.count;
  for (int32_t i = 1; i <= design.alternativeCurve.count; ++i)
    design.hazardRatioCuts[i] = design.alternativeCurve.x[i];
}

// The share `lost` to follow-up by the time `by`: one point (by, 1 - lost), the hazard
// continuing beyond, as a median is read.
void readLossShare(const KeyedTable& table, SurvivalCurve& curve) {
  for (const char* const other : {"times", "survival", "median", "hazard_rates", "interval_ends"}) {
    if (table.has(other)) {
      table.fail(other, "give lost and by, or one of the curve forms, not both");
    }
  }
  table.require("lost", "the share lost to follow-up by the time `by` is needed");
  table.require("by", "the time by which the share `lost` is lost to follow-up is needed");
  const float lost = *table.real("lost");
  const float by = *table.real("by");
  if (!(lost > 0.0f && lost < 1.0f)) {
    table.fail("lost", "is a share: it must lie above 0 and below 1 (got " + shown(lost) + ")");
  }
  const auto kept = static_cast<float>(1.0 - double(lost));
  if (!(kept >= kSurvivalFloor)) {
    table.fail("lost", "is " + shown(lost) + ", leaving less than 0.00001 in follow-up");
  }
  if (!(by > 0.0f)) table.fail("by", "must be above 0 (got " + shown(by) + ")");
  curve = SurvivalCurve{};
  curve.count = 1;
  curve.x[1] = by;
  curve.s[0] = 1.0f;
  curve.s[1] = kept;
}

// No loss to follow-up: one interval on which the curve stays at 1.
void readCensoring(const KeyedTable& root, const char* key, const char* what,
                   SurvivalCurve& curve) {
  const toml::table* given = root.table(key);
  if (given == nullptr) {
    curve = SurvivalCurve{};
    curve.count = 1;
    curve.x[1] = 1.0f;
    curve.s[0] = curve.s[1] = 1.0f;
    return;
  }
  const KeyedTable table(*given, key, root.fileName());
  if (table.has("lost") || table.has("by")) {
    readLossShare(table, curve);
    return;
  }
  if (!hasCurve(table)) {
    table.fail("lost", "give lost and by, times and survival, median, or interval_ends and "
                       "hazard_rates");
  }
  readCurve(table, what, curve);
}

// No drop-in (drop-out): one point at time 0 with probability 0.
void readDropPoints(const KeyedTable& root, const char* key, int32_t& count,
                    DropPointValues& times, DropPointValues& rates) {
  count = 1;
  const toml::table* given = root.table(key);
  if (given == nullptr) return;
  const KeyedTable table(*given, key, root.fileName());
  table.require("times", "the times at which patients switch");
  table.require("rates", "the probability of switching at each time");
  const std::vector<float> at = *table.reals("times", 1, MaxDropPoints);
  const std::vector<float> probability = *table.reals("rates", at.size(), at.size());
  count = static_cast<int32_t>(at.size());
  for (size_t i = 1; i <= at.size(); ++i) {
    times[i] = at[i - 1];
    rates[i] = probability[i - 1];
    if (times[i] < 0.0f || (i > 1 && times[i] < times[i - 1])) {
      table.fail("times", "time " + std::to_string(i) + " (" + shown(times[i]) +
                              ") must not be negative nor before the one before");
    }
    if (!(rates[i] >= 0.0f && rates[i] <= 1.0f)) {
      table.fail("rates", "rate " + std::to_string(i) + " (" + shown(rates[i]) +
                              ") is a probability: it must lie between 0 and 1");
    }
  }
}

}  // namespace

void readKeyedCurves(const KeyedTable& root, DesignParameters& design) {
  readBaseline(root, design);
  readAlternative(root, design);
  readCensoring(root, "censoring_control", "the control censoring curve", design.censoringControl);
  readCensoring(root, "censoring_treatment", "the treatment censoring curve",
                design.censoringTreatment);
  readDropPoints(root, "drop_in", design.dropInCount, design.dropInTimes, design.dropInRates);
  readDropPoints(root, "drop_out", design.dropOutCount, design.dropOutTimes, design.dropOutRates);
}

}  // namespace survseq::input
