// [combination] of the keyed design file: its faults name file, line, column and key, and
// the statistics it chooses (all by default) fill the record.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "input/keyed_design_file.h"
#include "report/run_error.h"

namespace survseq::input {
namespace {

// Three statistics on lines 4 to 9; the text of each case follows from line 17 on.
constexpr const char* kBase =
    "report_file = \"r.out\"\n"               // 1
    "analysis_times = [12.0, 24.0]\n"         // 2
    "sides = 1\n"                             // 3
    "[[statistics]]\nrho = 0\n"               // 4-5
    "[[statistics]]\nrho = 1\n"               // 6-7
    "[[statistics]]\ntau = 1\n"               // 8-9
    "[accrual]\nperiod = 24.0\nrate_lower = 10.0\nrate_upper = 50.0\n"  // 10-13
    "[baseline_survival]\nmedian = 12.0\n"    // 14-15
    "[alternative]\nhazard_ratio = 0.7\n";    // 16-17

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
    return error.what();
  }
  return "no error";
}

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
    EXPECT_EQ(errorOf(std::string(kBase) + c.text).substr(0, c.error.size()), c.error) << c.text;
  }
  // One statistic cannot be combined.
  std::string single = kBase;
  single.erase(single.find("[[statistics]]\nrho = 1\n"), 23);
  single.erase(single.find("[[statistics]]\ntau = 1\n"), 23);
  EXPECT_EQ(errorOf(single + "[combination]\n"),
            "d.toml:14:1: combination: needs at least two [[statistics]]; this design has 1");
}

TEST(KeyedCombination, ChoosesTheGivenStatisticsOrAll) {
  // On the positional file's information scale nothing else is keyed-only.
  const std::string original = "planned_information = \"original\"\n" + std::string(kBase);
  const DesignParameters plain = read(original);
  EXPECT_FALSE(usesCombination(plain));
  EXPECT_FALSE(usesKeyedOnlyFeatures(plain));

  const DesignParameters all = read(original + "[combination]\n");
  EXPECT_TRUE(usesKeyedOnlyFeatures(all));
  ASSERT_EQ(all.combinationCount, 3);
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(all.combinationStatistics[i], i + 1);

  const DesignParameters chosen = read(std::string(kBase) + "[combination]\nstatistics = [3, 1]");
  ASSERT_EQ(chosen.combinationCount, 2);
  EXPECT_EQ(chosen.combinationStatistics[0], 3);
  EXPECT_EQ(chosen.combinationStatistics[1], 1);
  // Non-binding futility stays allowed.
  EXPECT_EQ(errorOf(std::string(kBase) + "[combination]\n[futility]\nz = [0.0]"), "no error");
}

}  // namespace
}  // namespace survseq::input
