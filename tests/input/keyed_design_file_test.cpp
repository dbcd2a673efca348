// The keyed design file: every class of error names the file, line, column and key, and
// a design that uses the keyed-only keys fills their fields of the record.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "input/accrual_profile.h"
#include "input/curve_warnings.h"
#include "input/design_limits.h"
#include "input/keyed_design_file.h"
#include "input/keyed_design_writer.h"
#include "report/run_error.h"

namespace survseq::input {
namespace {

// Line numbers of this design are the ones the expected messages name.
constexpr const char* kBase =
    "report_file = \"r.out\"\n"               // 1
    "analysis_times = [12.0, 24.0, 36.0]\n"   // 2
    "sides = 1\n"                             // 3
    "type_one_error = 0.025\n"                // 4
    "[accrual]\n"                             // 5
    "period = 24.0\n"                         // 6
    "rate_lower = 10.0\n"                     // 7
    "rate_upper = 50.0\n"                     // 8
    "[baseline_survival]\n"                   // 9
    "median = 12.0\n"                         // 10
    "[alternative]\n"                         // 11
    "hazard_ratio = 0.7\n";                   // 12

// kBase with line `line` replaced by `text` (0: put first, past the end: appended), `line2` by
// `text2`.
std::string edited(int line, const std::string& text, int line2 = -1,
                   const std::string& text2 = "") {
  std::istringstream in(kBase);
  std::string out = line == 0 ? text + "\n" : "";
  int at = 1;
  for (std::string current; std::getline(in, current); ++at)
    out += (at == line ? text : at == line2 ? text2 : current) + "\n";
  return line >= at ? out + text + "\n" : out;
}

DesignParameters read(const std::string& text) {
  std::istringstream in(text);
  DesignParameters design;
  readKeyedDesign(parseKeyedDesign(in, "d.toml"), "d.toml", design);
  return design;
}

std::string errorOf(const std::string& text) {
  try {
    read(text);
  } catch (const RunError& error) {
    EXPECT_EQ(error.line(), 0);
    return error.what();
  }
  return "no error";
}

TEST(KeyedDesignFile, EveryFaultIsAnErrorNamingFileLineColumnAndKey) {
  const std::string b = "\n[boundary]\n";  // appended tables start on line 14
  struct Case { int line; std::string text, error; int line2 = -1; std::string text2 = ""; };
  const Case cases[] = {  // the error reads "d.toml:" and then starts with `error`
      // Syntax, unknown keys and tables with the nearest known one.
      {2, "analysis_times = [12.0, 24.0", "3:1: "},
      {5, "[acrual]", "5:2: acrual: unknown table; did you mean 'accrual'?"},
      {6, "periode = 24.0", "6:1: accrual.periode: unknown key; did you mean 'period'?"},
      // A key of another table is in the wrong place, not misspelt.
      {10, "median = 12.0\nhazard_ratio = 0.7",
       "11:1: baseline_survival.hazard_ratio: unknown key; `hazard_ratio` belongs in [alternative]"},
      {0, "hazard_ratio = 0.7", "1:1: hazard_ratio: unknown key; `hazard_ratio` belongs in [alter"},
      {6, "period = 24.0\ndesired_power = 0.9", "7:1: accrual.desired_power: unknown key; "
                                                "`desired_power` belongs at the top level, above"},
      {0, "rho = 1", "1:1: rho: unknown key; `rho` belongs in [[statistics]]"},
      {0, "times = [1.0]", "1:1: times: unknown key; `times` belongs in [baseline_survival], "
                           "[alternative], [censoring_control], [censoring_treatment], [drop_in] "
                           "or [drop_out]"},
      // Wrong types and lengths.
      {2, "analysis_times = [12.0, \"24\"]", "2:25: analysis_times: value 2 must be a number, n"},
      {10, "median = nan", "10:10: baseline_survival.median: must be a finite number"},
      {10, "median = 1e39", "10:10: baseline_survival.median: is beyond single precision"},
      {0, "seed = 1.5", "1:8: seed: must be a whole number, not a real number"},
      {0, "seed = 2147483648", "1:8: seed: is 2147483648; it must lie between"},
      {2, "analysis_times = [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16]",
       "2:18: analysis_times: has 16 values; 1 to 15 are needed"},
      {13, "[futility]\nz = [0.0]", "14:5: futility.z: has 1 value; 2 are needed"},
      // The positional reader's limits, as errors (those of shared checks in positional files).
      {2, "analysis_times = [12.0, 0.0]", "2:18: analysis_times: the last analysis time must be"},
      {2, "analysis_times = [12.0, 36.0, 24.0]", "2:18: analysis_times: the analysis times must"},
      {3, "sides = 3", "3:9: sides: the number of sides is 3; it must be 1 or 2"},
      {0, "desired_power = 1.0", "1:17: desired_power: the desired power is 1; it must lie st"},
      {0, "seed = 2147483647", "1:8: seed: the seed 2147483647 gives random numbers outside"},
      {8, "rate_upper = 5e5", "8:14: accrual.rate_upper: the upper bound of the accrual rate (5e"},
      {12, "times = [6.0]\nsurvival = [1.1]", "13:12: alternative.survival: the survival values"},
      {8, "rate_upper = 3", "8:14: accrual.rate_upper: must not be below accrual.rate_lower (got"},
      {8, "rate_upper = -1", "8:14: accrual.rate_upper: must be above 0 (got -1)"},
      {6, "period = 0", "6:10: accrual.period: must be above 0 (got 0)"},
      {10, "times = [6.0, 6.0]\nsurvival = [0.5, 0.4]", "10:9: baseline_survival.times: the cut p"},
      {10, "times = [6.0]\nsurvival = [0.000009]", "11:12: baseline_survival.survival: the last s"},
      {10, "interval_ends = [6.0]\nhazard_rates = [-1.0]",
       "11:16: baseline_survival.hazard_rates: hazard rate 1 (-1) is negative"},
      {10, "median = 12.0\ntimes = [1.0]", "10:10: baseline_survival.median: give times and sur"},
      {12, "hazard_ratio = 0", "12:16: alternative.hazard_ratio: hazard ratio 1 (0) must be abo"},
      {4, "type_one_error = 0", "4:18: type_one_error: must lie above 1e-10 and below 1 (got 0)"},
      {0, "simulations_per_iteration = 0", "1:29: simulations_per_iteration: must be at least 1"},
      {0, "seed = 0", "1:8: seed: must not be 0"},
      {13, "[[statistics]]\nrho = -1", "14:7: statistics[1].rho: must not be negative (got -1)"},
      {13, b + "method = \"haybittle\"\nb = 1", "16:5: boundary.b: must be above 1 (got 1)"},
      {13, b + "method = \"error_split\"\nerror_shares = [0.005, 0.01, 0.02]",
       "16:16: boundary.error_shares: must add up to type_one_error (got 0.035 and 0.025)"},
      {13, b + "method = \"given_critical_values\"\ncritical_values = [3.0, 2.5, 0.0]",
       "16:19: boundary.critical_values: critical value 3 (0) is below 0.00001"},
      {13, b + "method = \"pocock\"", "15:10: boundary.method: must be \"error_split\", \"lan_de"},
      {13, b + "method = \"haybittle\"\nuse_function = \"pocock\"",
       "16:16: boundary.use_function: is not used with method = \"haybittle\""},
      {1, "report_file = \"\"", "1:15: report_file: must not be empty"},
      // The keys of the designs only the keyed file can state.
      {8, "rate = 20.0", "8:8: accrual.rate: give one of rate_lower and rate_upper (a search),"},
      {7, "patients = 0", "7:12: accrual.patients: must lie between 1 and 10000000 (got 0)", 8},
      {7, "", "5:1: accrual.rate_lower: missing; a bracket needs both rate_lower and rate_upper"},
      {0, "analysis_timing = \"event\"", "1:19: analysis_timing: must be \"calendar\" or \"eve"},
      {2, "analysis_events = [100, 200]", "2:19: analysis_events: need a given size ([accrual"},
      {2, "analysis_events = [100, 90]", "2:19: analysis_events: the event targets must increa"},
      {0, "analysis_events = [100]", "3:18: analysis_times: give analysis_times or analysis_ev"},
      {0, "allocation_ratio = 0", "1:20: allocation_ratio: must be above 0 (got 0)"},
      {8, "rate_upper = 50.0\npiece_durations = [6.0, 12.0]",
       "9:19: accrual.piece_durations: add up to 18, not to accrual.period (24)"},
      {8, "rate_upper = 50.0\nrelative_rates = [0.0, 0.0]", "9:18: accrual.relative_rates: must"},
      {8, "rate_upper = 50.0\npiece_durations = [6.0, 18.0]\nrelative_rates = [1.0]",
       "10:18: accrual.relative_rates: has 1 values but accrual.piece_durations 2"},
      {13, b + "use_function = \"hwang_shih_decani\"", "14:1: boundary.gamma: missing; the Hw"},
      {13, b + "use_function = \"kim_demets\"\nexponent = 0", "16:12: boundary.exponent: must"},
      {13, b + "gamma = -4", "15:9: boundary.gamma: is not used with use_function = \"obrien_fl"},
      {13, "[futility]\nz = [0.0, 0.5]", "13:1: futility: applies to one-sided designs only", 3,
       "sides = 2"},
      {13, b + "method = \"haybittle\"\n[futility]\nz = [0.0, 0.5]", "16:1: futility: needs a"},
      // Loss to follow-up as a share by a time.
      {13, "[censoring_control]\nlost = 0\nby = 12", "14:8: censoring_control.lost: is a share:"},
      {13, "[censoring_control]\nlost = 1.0\nby = 12", "14:8: censoring_control.lost: is a sha"},
      {13, "[censoring_treatment]\nlost = 0.999999\nby = 12",
       "14:8: censoring_treatment.lost: is 0.999999, leaving less than 0.00001 in follow-up"},
      {13, "[censoring_control]\nlost = 0.05\nby = 0", "15:6: censoring_control.by: must be abo"},
      {13, "[censoring_control]\nlost = 0.05\nby = -3", "15:6: censoring_control.by: must be ab"},
      {13, "[censoring_control]\nlost = 0.05", "13:1: censoring_control.by: missing; the time"},
      {13, "[censoring_treatment]\nby = 12", "13:1: censoring_treatment.lost: missing; the sh"},
      {13, "[censoring_control]\nlost = 0.05\nby = 12\nmedian = 30",
       "16:10: censoring_control.median: give lost and by, or one of the curve forms, not both"},
      {13, "[censoring_control]\ntimes = [12.0]\nsurvival = [0.9]\nby = 12",
       "14:9: censoring_control.times: give lost and by, or one of the curve forms, not both"},
      {13, "[censoring_control]", "13:1: censoring_control.lost: give lost and by, times and"},
      {10, "median = 12.0\nlost = 0.05", "11:1: baseline_survival.lost: unknown key"},
  };
  for (const Case& c : cases) {
    const std::string error = errorOf(edited(c.line, c.text, c.line2, c.text2));
    EXPECT_EQ(error.substr(0, c.error.size() + 7), "d.toml:" + c.error) << c.line << ": " << c.text;
  }
  EXPECT_EQ(errorOf(edited(7, "patients = 1", 8, "")), "no error");  // the edge is kept
  // A target power beside a given size would be written in vain.
  for (const std::string size : {"patients", "rate"}) {
    EXPECT_EQ(errorOf("desired_power = 0.9\n" + edited(7, size + " = 400", 8, "")),
              "d.toml:1:17: desired_power: is not used with a given size (accrual." + size +
                  "): the run simulates that size and searches for no rate");
  }
}

// Hazard ratios end at their last interval's end, 1 beyond: before the last look (36) that
// is said, unless the last ratio is 1 already.
TEST(KeyedDesignFile, AnEffectEndingBeforeTheLastLookIsWarnedOf) {
  const std::string warning =
      "survseq: warning: w: the last interval ends at 24, before the last analysis at 36: "
      "beyond 24 the hazard ratio is 1 (no effect); extend the last interval to 36 if the "
      "effect lasts\n";
  const std::pair<std::string, std::string> cases[] = {
      {"interval_ends = [6.0, 24.0]\nhazard_ratios = [1.0, 0.7]", warning},
      {"interval_ends = [6.0, 36.0]\nhazard_ratios = [1.0, 0.7]", ""},
      {"interval_ends = [6.0, 24.0]\nhazard_ratios = [0.7, 1.0]", ""},
      {"hazard_ratio = 0.7", ""},
      {"times = [24.0]\nsurvival = [0.3]", ""},
  };
  for (const auto& [alternative, expected] : cases) {
    std::ostringstream warnings;
    warnOfEffectEndingEarly(read(edited(12, alternative)), warnings, "w");
    EXPECT_EQ(warnings.str(), expected) << alternative;
  }
}

// Control bytes and DEL in a name are written as escapes that read back as the same bytes;
// a name that is not UTF-8 cannot be written.
TEST(KeyedDesignFile, WrittenNamesReadBackByteForByte) {
  DesignParameters design = read(kBase);
  design.outputFileName = "a\x01b\x1f\x7f \"q\" \\.out";
  std::ostringstream written, warnings;
  writeKeyedDesign(design, written, warnings);
  EXPECT_EQ(read(written.str()).outputFileName, design.outputFileName) << written.str();
  design.outputFileName = "\xff.out";
  writeKeyedDesign(design, written, warnings);
  EXPECT_NE(warnings.str().find("is not UTF-8"), std::string::npos);
}

TEST(KeyedDesignFile, DefaultsAndTheKeyedOnlyKeysFillTheRecord) {
  const DesignParameters plain = read(kBase);
  EXPECT_EQ(plain.seed, -123457);
  EXPECT_EQ(plain.simulationCount, 1000);
  EXPECT_EQ(plain.boundaryMethod, LanDeMets);
  EXPECT_EQ(plain.useFunction, OBrienFleming);
  EXPECT_EQ(plain.boundaryValues[3], 1.96f);  // unused, as in a positional file of zeros
  // A constant hazard ratio holds to the last look; no loss to follow-up.
  EXPECT_EQ(plain.hazardRatioCuts[1], 36.0f);
  EXPECT_EQ(plain.baselineCurve.s[1], 0.5f);
  EXPECT_EQ(plain.censoringControl.s[1], 1.0f);
  // The template (survseq --template toml) is a design that runs as it stands.
  std::ifstream templateFile(std::string(SURVSEQ_SOURCE_DIR) + "/examples/defaults.toml");
  EXPECT_EQ(errorOf(std::string(std::istreambuf_iterator<char>(templateFile), {})), "no error");

  const DesignParameters keyed = read(
      edited(2, "analysis_times = [12.0, 24.0, 36.0]\nanalysis_timing = \"events\"\n"
                "allocation_ratio = 2") +
      "[futility]\nz = [-0.5, 0.25]\nbinding = true\n"
      "[boundary]\nuse_function = \"hwang_shih_decani\"\ngamma = -4\n"
      "[censoring_control]\ninterval_ends = [10.0, 20.0]\nhazard_rates = [0.1, 0.05]\n");
  EXPECT_EQ(keyed.analysisTiming, AnalysisTiming::PlannedEvents);
  EXPECT_EQ(keyed.hazardRatioCuts[1], kLatestAnalysisTime);  // looks may come late
  EXPECT_TRUE(keyed.futility && keyed.futilityBinding);
  EXPECT_EQ(keyed.futilityZ[2], 0.25f);
  EXPECT_EQ(keyed.spendingFamily, SpendingFamily::HwangShihDeCani);
  EXPECT_EQ(keyed.censoringControl.x[2], 20.0f);
  EXPECT_FLOAT_EQ(keyed.censoringControl.s[1], std::exp(-1.0f));
  EXPECT_FLOAT_EQ(keyed.censoringControl.s[2], std::exp(-1.5f));

  // A share lost by a time is the exponential curve through (by, 1 - lost), as the points
  // form gives it; the writer gives it back as that curve.
  const std::string lost = kBase + std::string("[censoring_treatment]\nlost = 0.05\nby = 12\n");
  const DesignParameters byShare = read(lost);
  const DesignParameters byPoints =
      read(kBase + std::string("[censoring_treatment]\ntimes = [12.0]\nsurvival = [0.95]\n"));
  std::ostringstream written, warnings;
  writeKeyedDesign(byShare, written, warnings);
  for (const DesignParameters& same : {byPoints, read(written.str())}) {
    EXPECT_EQ(byShare.censoringTreatment.count, same.censoringTreatment.count);
    EXPECT_EQ(byShare.censoringTreatment.x, same.censoringTreatment.x);
    EXPECT_EQ(byShare.censoringTreatment.s, same.censoringTreatment.s);
  }
  EXPECT_EQ(byShare.censoringControl.s[1], 1.0f);  // the other arm keeps no loss

  // A given size with event targets; relative rates alone divide the accrual period equally.
  const DesignParameters sized = read(
      "analysis_events = [165, 248, 330]\nsides = 1\n[accrual]\nperiod = 24\npatients = 420\n"
      "relative_rates = [0.25, 1.0]\n[baseline_survival]\nmedian = 12\n"
      "[alternative]\nhazard_ratio = 0.7\n");
  EXPECT_EQ(sized.outputFileName, "d.out");
  EXPECT_EQ(sized.analysisTiming, AnalysisTiming::FixedEvents);
  EXPECT_EQ(sized.accrualForm, AccrualForm::GivenPatients);
  EXPECT_EQ(sized.accrualPieceDurations[2], 12.0f);
  EXPECT_EQ(patientsAtRate(sized, sized.accrualRate), 420);
}

// [combination]: three statistics on lines 4 to 9; the text of each case follows from
// line 17 on.
constexpr const char* kThreeStatistics =
    "report_file = \"r.out\"\n"               // 1
    "analysis_times = [12.0, 24.0]\n"         // 2
    "sides = 1\n"                             // 3
    "[[statistics]]\nrho = 0\n"               // 4-5
    "[[statistics]]\nrho = 1\n"               // 6-7
    "[[statistics]]\ntau = 1\n"               // 8-9
    "[accrual]\nperiod = 24.0\nrate_lower = 10.0\nrate_upper = 50.0\n"  // 10-13
    "[baseline_survival]\nmedian = 12.0\n"    // 14-15
    "[alternative]\nhazard_ratio = 0.7\n";    // 16-17

TEST(KeyedCombination, FaultsNameFileLineColumnAndKey) {
  struct Case { std::string text, error; };
  const Case cases[] = {
      {"[combination]\nstatistics = [1]", "d.toml:19:14: combination.statistics: has 1 value"},
      {"[combination]\nstatistics = [1, 2, 3, 1]", "d.toml:19:14: combination.statistics: has 4"},
      {"[combination]\nstatistics = [1, 4]",
       "d.toml:19:14: combination.statistics: statistic 4 does not exist; the [[statistics]] "
       "are numbered 1 to 3"},
      {"[combination]\nstatistics = [0, 2]", "d.toml:19:14: combination.statistics: statistic 0"},
      {"[combination]\nstatistics = [2, 2]",
       "d.toml:19:14: combination.statistics: names statistic 2 twice"},
      {"[combination]\nstatistics = [1.5, 2]", "d.toml:19:15: combination.statistics: value 1 "},
      {"[combination]\nstatistic = [1, 2]", "d.toml:19:1: combination.statistic: unknown key"},
      {"[combination]\n[futility]\nz = [0.0]\nbinding = true",
       "d.toml:18:1: combination: cannot be used with a binding futility rule"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(errorOf(std::string(kThreeStatistics) + c.text).substr(0, c.error.size()), c.error) << c.text;
  }
  // One statistic cannot be combined.
  std::string single = kThreeStatistics;
  single.erase(single.find("[[statistics]]\nrho = 1\n"), 23);
  single.erase(single.find("[[statistics]]\ntau = 1\n"), 23);
  EXPECT_EQ(errorOf(single + "[combination]\n"),
            "d.toml:14:1: combination: needs at least two [[statistics]]; this design has 1");
}

TEST(KeyedCombination, ChoosesTheGivenStatisticsOrAll) {
  // On the positional file's information scale nothing else is keyed-only.
  const std::string original = "planned_information = \"original\"\n" + std::string(kThreeStatistics);
  const DesignParameters plain = read(original);
  EXPECT_FALSE(usesCombination(plain));
  EXPECT_FALSE(usesKeyedOnlyFeatures(plain));

  const DesignParameters all = read(original + "[combination]\n");
  EXPECT_TRUE(usesKeyedOnlyFeatures(all));
  ASSERT_EQ(all.combinationCount, 3);
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(all.combinationStatistics[i], i + 1);

  const DesignParameters chosen = read(std::string(kThreeStatistics) + "[combination]\nstatistics = [3, 1]");
  ASSERT_EQ(chosen.combinationCount, 2);
  EXPECT_EQ(chosen.combinationStatistics[0], 3);
  EXPECT_EQ(chosen.combinationStatistics[1], 1);
  // Non-binding futility stays allowed.
  EXPECT_EQ(errorOf(std::string(kThreeStatistics) + "[combination]\n[futility]\nz = [0.0]"), "no error");
}

}  // namespace
}  // namespace survseq::input
