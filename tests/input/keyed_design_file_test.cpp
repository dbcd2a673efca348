// The keyed design file: every class of error names the file, line, column and key, and
// a design that uses the keyed-only keys fills their fields of the record.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "input/accrual_profile.h"
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

// kBase with line `line` (from 1) replaced by `text`, and line `line2` by `text2`; line 0
// puts `text` first, and a line past the end appends it.
std::string edited(int line, const std::string& text, int line2 = -1,
                   const std::string& text2 = "") {
  std::istringstream in(kBase);
  std::string out = line == 0 ? text + "\n" : "";
  int at = 0;
  for (std::string current; std::getline(in, current);) {
    ++at;
    out += (at == line ? text : at == line2 ? text2 : current) + "\n";
  }
  if (line > at) out += text + "\n";
  if (line2 > at) out += text2 + "\n";
  return out;
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

struct ErrorCase {
  ErrorCase(int line, std::string text, std::string error, int line2 = -1, std::string text2 = "")
      : line(line), text(std::move(text)), error(std::move(error)), line2(line2),
        text2(std::move(text2)) {}
  int line;
  std::string text;
  std::string error;  // the message starts with this
  int line2;          // a second line replaced, by text2
  std::string text2;
};

TEST(KeyedDesignFile, EveryFaultIsAnErrorNamingFileLineColumnAndKey) {
  const std::string tail = "\n[boundary]\n";  // appended tables start on line 14
  const std::vector<ErrorCase> cases{
      // Syntax, unknown keys and tables with the nearest known one.
      {2, "analysis_times = [12.0, 24.0", "d.toml:3:1: "},
      {0, "analysis_time = [1.0]", "d.toml:1:1: analysis_time: unknown key; did you mean 'analysis_times'?"},
      {5, "[acrual]", "d.toml:5:2: acrual: unknown table; did you mean 'accrual'?"},
      {6, "periode = 24.0", "d.toml:6:1: accrual.periode: unknown key; did you mean 'period'?"},
      {0, "colour = 1", "d.toml:1:1: colour: unknown key"},
      // Wrong types.
      {3, "sides = \"one\"", "d.toml:3:9: sides: must be a whole number, not a string"},
      {12, "hazard_ratio = \"0.7\"", "d.toml:12:16: alternative.hazard_ratio: must be a number, not a string"},
      {2, "analysis_times = [12.0, \"24\"]", "d.toml:2:25: analysis_times: value 2 must be a number, not a string"},
      {10, "median = nan", "d.toml:10:10: baseline_survival.median: must be a finite number"},
      {10, "median = 1e39", "d.toml:10:10: baseline_survival.median: is beyond single precision"},
      {0, "seed = 1.5", "d.toml:1:8: seed: must be a whole number, not a real number"},
      {0, "seed = 2147483648", "d.toml:1:8: seed: is 2147483648; it must lie between"},
      {0, "statistics = 1", "d.toml:1:14: statistics: must be an array of tables ([[statistics]]), not a whole number"},
      // Wrong lengths.
      {2, "analysis_times = [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16]",
       "d.toml:2:18: analysis_times: has 16 values; 1 to 15 are needed"},
      {13, tail + "method = \"given_critical_values\"\ncritical_values = [3.0, 2.5]",
       "d.toml:16:19: boundary.critical_values: has 2 values; 3 are needed"},
      {13, "[futility]\nz = [0.0]", "d.toml:14:5: futility.z: has 1 value; 2 are needed"},
      // The positional reader's limits, as errors.
      {2, "analysis_times = [12.0, 36.0, 24.0]",
       "d.toml:2:18: analysis_times: the analysis times must increase: analysis 3 (24)"},
      {2, "analysis_times = [12.0, 0.0]", "d.toml:2:18: analysis_times: the last analysis time must be above 0 (got 0)"},
      {8, "rate_upper = 3", "d.toml:8:14: accrual.rate_upper: must not be below accrual.rate_lower (got 3 and 10)"},
      {8, "rate_upper = 1e6", "d.toml:8:14: accrual.rate_upper: the upper bound of the accrual rate (1e+06) times"},
      {6, "period = 0", "d.toml:6:10: accrual.period: must be above 0 (got 0)"},
      {10, "times = [6.0, 12.0]\nsurvival = [0.5, 0.6]",
       "d.toml:11:12: baseline_survival.survival: the survival values of the baseline curve must not rise"},
      {10, "times = [6.0, 6.0]\nsurvival = [0.5, 0.4]",
       "d.toml:10:9: baseline_survival.times: the cut points of the baseline curve must increase"},
      {10, "times = [6.0]\nsurvival = [0.000009]",
       "d.toml:11:12: baseline_survival.survival: the last survival value of the baseline curve is 9e-06; it must be at least 0.00001"},
      {10, "interval_ends = [6.0]\nhazard_rates = [-1.0]",
       "d.toml:11:16: baseline_survival.hazard_rates: hazard rate 1 (-1) is negative"},
      {10, "median = 12.0\ntimes = [1.0]", "d.toml:10:10: baseline_survival.median: give times and survival, median, or"},
      {12, "hazard_ratio = 0", "d.toml:12:16: alternative.hazard_ratio: hazard ratio 1 (0) must be above 0"},
      {4, "type_one_error = 0", "d.toml:4:18: type_one_error: must lie above 1e-10 and below 1 (got 0)"},
      {3, "sides = 3", "d.toml:3:9: sides: the number of sides is 3; it must be 1 or 2"},
      {0, "desired_power = 1", "d.toml:1:17: desired_power: the desired power is 1; it must lie strictly"},
      {0, "simulations_per_iteration = 0", "d.toml:1:29: simulations_per_iteration: must be at least 1 (got 0)"},
      {0, "seed = 0", "d.toml:1:8: seed: must not be 0"},
      {0, "seed = 2147483647",
       "d.toml:1:8: seed: the seed 2147483647 gives random numbers outside [0, 1]; choose a seed "
       "between -161803398 and 161803398"},
      {13, "[[statistics]]\nrho = -1", "d.toml:14:7: statistics[1].rho: must not be negative (got -1)"},
      {13, tail + "method = \"haybittle\"\nb = 1", "d.toml:16:5: boundary.b: must be above 1 (got 1)"},
      {13, tail + "method = \"error_split\"\nerror_shares = [0.005, 0.01, 0.02]",
       "d.toml:16:16: boundary.error_shares: must add up to type_one_error (got 0.035 and 0.025)"},
      {13, tail + "method = \"given_critical_values\"\ncritical_values = [3.0, 2.5, 0.0]",
       "d.toml:16:19: boundary.critical_values: critical value 3 (0) is below 0.00001"},
      {13, tail + "method = \"pocock\"", "d.toml:15:10: boundary.method: must be \"error_split\", \"lan_demets\", \"haybittle\" or \"given_critical_values\", not \"pocock\""},
      {13, tail + "method = \"haybittle\"\nuse_function = \"pocock\"",
       "d.toml:16:16: boundary.use_function: is not used with method = \"haybittle\""},
      {1, "report_file = \"\"", "d.toml:1:15: report_file: must not be empty"},
      // The keys of the designs only the keyed file can state.
      {8, "rate = 20.0", "d.toml:8:8: accrual.rate: give one of rate_lower and rate_upper (a search), rate or patients"},
      {7, "patients = 0", "d.toml:7:12: accrual.patients: must lie between 1 and 10000000 (got 0)", 8, ""},
      {7, "", "d.toml:5:1: accrual.rate_lower: missing; a bracket needs both rate_lower and rate_upper"},
      {0, "analysis_timing = \"event\"", "d.toml:1:19: analysis_timing: must be \"calendar\" or \"events\", not \"event\""},
      {2, "analysis_events = [100, 200]", "d.toml:2:19: analysis_events: need a given size ([accrual] rate or patients)"},
      {2, "analysis_events = [100, 90]", "d.toml:2:19: analysis_events: the event targets must increase: event target 2 (90)"},
      {0, "analysis_events = [100]", "d.toml:3:18: analysis_times: give analysis_times or analysis_events, not both"},
      {0, "allocation_ratio = 0", "d.toml:1:20: allocation_ratio: must be above 0 (got 0)"},
      {8, "rate_upper = 50.0\npiece_durations = [6.0, 12.0]",
       "d.toml:9:19: accrual.piece_durations: add up to 18, not to accrual.period (24)"},
      {8, "rate_upper = 50.0\nrelative_rates = [0.0, 0.0]", "d.toml:9:18: accrual.relative_rates: must not all be 0"},
      {8, "rate_upper = 50.0\npiece_durations = [6.0, 18.0]\nrelative_rates = [1.0]",
       "d.toml:10:18: accrual.relative_rates: has 1 values but accrual.piece_durations 2"},
      {13, tail + "use_function = \"hwang_shih_decani\"",
       "d.toml:14:1: boundary.gamma: missing; the Hwang-Shih-DeCani function needs its gamma"},
      {13, tail + "use_function = \"kim_demets\"\nexponent = 0", "d.toml:16:12: boundary.exponent: must be above 0 (got 0)"},
      {13, tail + "gamma = -4", "d.toml:15:9: boundary.gamma: is not used with use_function = \"obrien_fleming\""},
      {3, "sides = 2", "d.toml:13:1: futility: applies to one-sided designs only", 13,
       "[futility]\nz = [0.0, 0.5]"},
      {13, tail + "method = \"haybittle\"\n[futility]\nz = [0.0, 0.5]", "d.toml:16:1: futility: needs a boundary that spends alpha"},
      {13, "[futility]\nz = [0.0, 0.5]\nbinding = 1", "d.toml:15:11: futility.binding: must be true or false, not a whole number"},
  };
  for (const ErrorCase& c : cases) {
    const std::string error = errorOf(edited(c.line, c.text, c.line2, c.text2));
    EXPECT_EQ(error.substr(0, c.error.size()), c.error) << "line " << c.line << ": " << c.text;
  }
  EXPECT_EQ(errorOf(edited(7, "patients = 1", 8, "")), "no error");  // the edge is kept
}

// Control bytes and DEL in a name are written as escapes that read back as the same bytes.
TEST(KeyedDesignFile, WrittenNamesReadBackByteForByte) {
  DesignParameters design = read(kBase);
  design.outputFileName = "a\x01b\x1f\x7f \"q\" \\.out";
  std::ostringstream written, warnings;
  writeKeyedDesign(design, written, warnings);
  EXPECT_EQ(read(written.str()).outputFileName, design.outputFileName) << written.str();
}

TEST(KeyedDesignFile, DefaultsAndTheKeyedOnlyKeysFillTheRecord) {
  const DesignParameters plain = read(kBase);
  EXPECT_EQ(plain.seed, -123457);
  EXPECT_EQ(plain.simulationCount, 1000);
  EXPECT_EQ(plain.statisticCount, 1);
  EXPECT_EQ(plain.boundaryMethod, LanDeMets);
  EXPECT_EQ(plain.useFunction, OBrienFleming);
  EXPECT_EQ(plain.accrualRate, 50.0f);
  // A constant hazard ratio holds to the last look; no loss to follow-up, nobody switches.
  EXPECT_EQ(plain.hazardRatioCount, 1);
  EXPECT_EQ(plain.hazardRatioCuts[1], 36.0f);
  EXPECT_EQ(plain.baselineCurve.s[1], 0.5f);
  EXPECT_EQ(plain.censoringControl.s[1], 1.0f);
  EXPECT_EQ(plain.dropInRates[1], 0.0f);
  EXPECT_FALSE(usesKeyedOnlyFeatures(plain));
  // The template (survseq --template toml) is a design that runs as it stands.
  std::ifstream templateFile(std::string(SURVSEQ_SOURCE_DIR) + "/examples/defaults.toml");
  std::ostringstream templateText;
  templateText << templateFile.rdbuf();
  EXPECT_EQ(errorOf(templateText.str()), "no error");

  const DesignParameters keyed = read(
      edited(2, "analysis_times = [12.0, 24.0, 36.0]\nanalysis_timing = \"events\"\n"
                "allocation_ratio = 2") +
      "[futility]\nz = [-0.5, 0.25]\nbinding = true\n"
      "[boundary]\nuse_function = \"hwang_shih_decani\"\ngamma = -4\n"
      "[censoring_control]\ninterval_ends = [10.0, 20.0]\nhazard_rates = [0.1, 0.0]\n");
  EXPECT_EQ(keyed.analysisTiming, AnalysisTiming::PlannedEvents);
  EXPECT_EQ(keyed.hazardRatioCuts[1], kLatestAnalysisTime);  // looks may come late
  EXPECT_EQ(keyed.allocationRatio, 2.0f);
  EXPECT_TRUE(keyed.futility && keyed.futilityBinding);
  EXPECT_EQ(keyed.futilityZ[2], 0.25f);
  EXPECT_EQ(keyed.spendingFamily, SpendingFamily::HwangShihDeCani);
  EXPECT_EQ(keyed.spendingGamma, -4.0f);
  EXPECT_EQ(keyed.censoringControl.s[1], static_cast<float>(std::exp(-1.0)));
  EXPECT_EQ(keyed.censoringControl.count, 2);
  EXPECT_EQ(keyed.censoringControl.s[2], keyed.censoringControl.s[1]);

  // A given size with fixed event targets and ramp-up by relative rates alone, which
  // divide the accrual period equally.
  const DesignParameters sized = read(
      "analysis_events = [165, 248, 330]\nsides = 1\n[accrual]\nperiod = 24\npatients = 420\n"
      "relative_rates = [0.25, 1.0]\n[baseline_survival]\nmedian = 12\n"
      "[alternative]\nhazard_ratio = 0.7\n");
  EXPECT_EQ(sized.outputFileName, "d.out");
  EXPECT_EQ(sized.analysisTiming, AnalysisTiming::FixedEvents);
  EXPECT_EQ(sized.analysisCount, 3);
  EXPECT_EQ(sized.analysisEvents[3], 330);
  EXPECT_EQ(sized.accrualForm, AccrualForm::GivenPatients);
  EXPECT_EQ(sized.accrualPieceCount, 2);
  EXPECT_EQ(sized.accrualPieceDurations[2], 12.0f);
  EXPECT_EQ(patientsAtRate(sized, sized.accrualRate), 420);
  EXPECT_EQ(sized.hazardRatioCuts[1], kLatestAnalysisTime);
}

}  // namespace
}  // namespace survseq::input
