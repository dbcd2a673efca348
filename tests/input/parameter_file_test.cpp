// The parameter file read whole: its layout, the file of zeros, the repairs at the edges of
// their conditions, the output file, and everything that ends the run, naming its line.

#include "input/parameter_file.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "report/run_error.h"

namespace survseq::input {
namespace {

// Files of 152 lines, a heading on each line without values. A replacement holding line ends
// pushes the rest down, as a continued read does; one ending in kEnd ends the file there.
using LineTexts = std::map<int, std::string>;
const std::string kEnd = "<end of input>";

// A sound design that needs no repair: three analyses, two statistics, hazard ratios.
const LineTexts kValidLines = {
    {11, "2"}, {14, "'design.out'"}, {17, "12345"}, {20, "3"}, {23, "10 20 30"}, {26, "2"},
    {30, "0 1"}, {33, "0 0.5"}, {37, "500"}, {40, "0.05"}, {43, "2"}, {49, "0.01 0.015 0.025"},
    {54, "3"}, {61, "3 2.5 2"}, {70, "1"}, {74, "2"}, {78, "12 24"}, {83, "0.7 0.4"},
    {88, "10 20 80"}, {95, "0.8"}, {100, "2"}, {103, "12 24"}, {108, "2"}, {113, "0.7 0.8"},
    {118, "1"}, {121, "30"}, {124, "0.9"}, {129, "1"}, {132, "35"}, {135, "0.85"},
    {140, "1"}, {142, "5"}, {144, "0.02"}, {148, "2"}, {150, "4 8"}, {152, "0.03 0.04"}};

std::string file(LineTexts replaced, bool zeros = false) {
  for (const auto& [line, values] : kValidLines)
    replaced.emplace(line, !zeros ? values : line == 88 ? "0 0 0" : "0");
  std::string text;
  for (int line = 1; line <= kParameterFileLines; ++line) {
    std::string t = replaced.count(line) ? replaced[line] : "Heading " + std::to_string(line);
    if (t.ends_with(kEnd)) return text + t.substr(0, t.size() - kEnd.size());
    text += t + '\n';
  }
  return text;
}

// The console with the warnings (examples/defaults.par's golden run keeps them apart), then
// "line N: <error>" if any. No report is created; "results" is refused as a directory.
std::string outcome(const std::string& text, DesignParameters& design) {
  std::istringstream in(text);
  std::ostringstream console;
  try {
    readParameterFile(in, console, console, design, [](const std::string& name, int32_t line) {
      if (name == "results") throw RunError("cannot open 'results': Is a directory", line);
    });
  } catch (const RunError& error) {
    console << "line " << error.line() << ": " << error.what();
  }
  return console.str();
}
std::string outcome(const std::string& text) {
  DesignParameters design;
  return outcome(text, design);
}

// Tables of expected members: F(seed) names d.seed and reads it as a double.
struct Field { const char* name; double (*get)(const DesignParameters&); };
#define F(member) Field{#member, [](const DesignParameters& d) -> double { return d.member; }}

struct Case {
  LineTexts replaced;
  std::string outcome;
  std::vector<std::pair<Field, double>> values = {};
};

void expectReadings(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.replaced).substr(0, 300));
    DesignParameters design;
    EXPECT_EQ(outcome(file(c.replaced), design), c.outcome);
    for (const auto& [field, value] : c.values) EXPECT_EQ(field.get(design), value) << field.name;
  }
}

// Messages written out by hand: plain lines, laid-out lines with the cut point in 9.3.
const std::string kOne = "  The number of intervals is set to 1.\n";
const std::string kSpaced =
    " The right cutpoints are equally spaced. The largest cutpoint is set to ";
std::string survivalRepair(const char* at) {
  return " Since your last survival value is <.00001.\n The survival value at " + std::string(at) +
         " is set to .00001. Hope this is OK.\n";
}
std::string steepInterval(const char* from, const char* to, const std::string& interval,
                          int line = 83) {
  return "survseq: warning: line " + std::to_string(line) + ": the control survival falls from " +
         from + " to " + to + " on the interval " + interval +
         ", below half; the planned information takes it as linear there and comes out too "
         "low: add cut points inside " + interval + "\n";
}

// The file of zeros is examples/defaults.par, whose repairs and warning are a golden run.
TEST(Readings, TheLayoutAndTheRepairsAtTheEdgesOfTheirConditionsAndSteepIntervals) {
  const std::string errorSum = "  The sum of the e's is not equal to the type-I error.\n";
  expectReadings({
      // Extra values and trailing text are ignored, and skipped lines may hold anything.
      {{{1, ""}, {11, "2 4 and words"}, {12, "3*'unbalanced"}, {13, "/,,"},
        {14, "\n 'design.out' more"}, {20, "3, 9"}, {88, "10 20 80 100 (x, y)"}, {151, "x y z"},
        {152, "0.03 0.04 0.05\nmore"}},
       "",
       {{F(boundaryMethod), LanDeMets}, {F(seed), 12345}, {F(analysisTimes[3]), 30},
        {F(accrualRateUpper), 80}, {F(desiredPower), 0.8f}, {F(dropOutRates[2]), 0.04f}}},
      // Every value at the edge where it is kept, silently but for the warning.
      {{{17, "-5"}, {40, "2e-10"}, {43, "1"}, {54, "1.01"}, {61, "0.00001 0.000009 -2"},
        {70, "7"}, {74, "3"}, {78, "2 4 6"}, {83, "0.8 0.6 0.000011"}, {88, "0 5 0"},
        {113, "2e-10 0.5"}, {118, "2"}, {121, "1e-8 2e-8"}, {124, "0.9 0.9"}},
       steepInterval("0.6", "1.1e-05", "(4, 6]"),
       {{F(seed), -5}, {F(typeIError), 2e-10f}, {F(haybittleB), 1.01f},
        {F(boundaryValues[1]), 0.00001f}, {F(boundaryValues[2]), 1.96f},
        {F(boundaryValues[3]), 1.96f}, {F(useFunction), 7}, {F(accrualRateUpper), 50},
        {F(accrualRate), 50}, {F(hazardRatios[1]), 2e-10f}, {F(censoringControl.x[2]), 2e-8f}}},
      // Curves kept: a first value equal to S(0) = 1, flat stretches, a censoring curve flat at 1.
      {{{83, "1 0.4"}, {118, "2"}, {121, "10 20"}, {124, "1 1"}, {129, "2"}, {132, "1 2"},
        {135, "0.9 0.9"}},
       steepInterval("1", "0.4", "(12, 24]"),
       {{F(baselineCurve.s[1]), 1}, {F(censoringControl.s[2]), 1}}},
      // Repairs at the edges the file of zeros does not reach, whatever the boundary method.
      {{{11, "3"}, {23, "-1 5 -0.5"}, {40, "1e-10"}, {54, "1"}, {83, "0.5 0.00001"},
        {100, "-1"}, {103, "0"}, {113, "0.5"}, {118, "2"}, {121, "3 5e-9"}, {124, "0.9 0.8"},
        {132, "1e-8"}, {135, "0"}},
       "  The last look has been set at 10.\n  The type-I error is set to 0.05.\n"
       "  You input is less than 1, b is re-set to 3.\n" + survivalRepair("   24.000") +
           steepInterval("0.5", "1e-05", "(12, 24]") + kOne + kSpaced + "10.\n" + kSpaced +
           "20.\n" + kSpaced + "20.\n" + survivalRepair("   20.000"),
       {{F(analysisTimes[1]), -1}, {F(analysisTimes[3]), 10}, {F(haybittleBInput), 1},
        {F(haybittleB), 3}, {F(baselineCurve.s[2]), 0.00001f}, {F(hazardRatioCuts[1]), 10},
        {F(censoringControl.x[1]), 10}, {F(censoringTreatment.s[1]), 0.00001f}}},
      {{{11, "1"}, {40, "0.025"}}, errorSum,  // the e's summed as floats, by hand
       {{F(errorSplit[0]), 0}, {F(errorSplit[2]), 0.01f + 0.015f},
        {F(errorSplit[3]), (0.01f + 0.015f) + 0.025f}}},
      {{{11, "1"}, {40, "0.0500005"}}, ""},  // within 1e-6 of the sum as floats
      {{{11, "1"}, {40, "0.0500015"}}, errorSum},
      {{{11, "1"}, {20, "1"}, {23, "10"}, {49, "0.3"}, {61, "2"}},
       "  You have specified the non-sequential design.\n", {{F(errorSplit[1]), 0.05f}}},
      {{{74, "3"}, {78, "2 4 0"}, {83, "0.8 0.6 0.4"}}, kSpaced + "10.\n",
       {{F(baselineCurve.x[1]), float(10.0 / 3.0)}, {F(baselineCurve.x[2]), float(20.0 / 3.0)},
        {F(baselineCurve.x[3]), 10}, {F(baselineCurve.s[0]), 1}}},
      // The alternative code only decides what line 113 holds (both forms: golden runs).
      {{{108, "1.5"}, {113, "0.75 0.5"}}, "",
       {{F(alternativeCurve.count), 2}, {F(alternativeCurve.x[2]), 24},
        {F(alternativeCurve.s[2]), 0.5f}, {F(hazardRatios[1]), 0}, {F(dropOutRates[2]), 0.04f}}},
      {{{103, "2.5 12.345"}, {113, "1e-10 -1"}},
       "The hazard ratio on [0, 2.50] is set to 1.\nThe hazard ratio on [0,12.35] is set to 1.\n",
       {{F(hazardRatios[1]), 1}, {F(hazardRatios[2]), 1}}},
      // Exactly half is not below half; the line is the one the values were read from.
      {{{74, "4"}, {78, "12 24 36 48"}, {83, "0.5 0.25 0.125 0.0625"}}, ""},
      {{{74, "4"}, {78, "12 24 36 48"}, {83, "0.5 0.2 0.125\n 0.05"}},
       steepInterval("0.5", "0.2", "(12, 24]", 84) +
           steepInterval("0.125", "0.05", "(36, 48]", 84)}});
}

TEST(ErrorPaths, EachNamesItsLineAndNothingAfterItRuns) {
  const std::string rise = " must not rise: survival value ";
  const std::string longLine(2 << 20, ' '), above = "the lower bound of the accrual rate (60) is "
                                                    "above the upper bound (50)";
  expectReadings({
      {{{17, "-2147483647"}},
       "line 17: the seed -2147483647 gives random numbers outside [0, 1]; choose a seed "
       "between -161803398 and 161803398"},
      {{{14, "'design.out"}}, "line 14: the quoted text has no closing apostrophe"},
      {{{14, "''"}}, "line 14: no output file name is given"},
      {{{26, "0*3"}}, "line 26: the repeat factor in '0*3' must be a positive whole number"},
      {{{17, longLine + "5"}}, "line 17: the line is longer than 1048576 characters"},
      // Continued reads move every later line down; an empty line takes the next one's value.
      {{{23, "10 20\n30"}, {100, "21"}},
       "line 101: the number of hazard-ratio intervals is 21; at most 20 are supported",
       {{F(analysisTimes[3]), 30}}},
      {{{17, ""}, {18, "77"}}, "line 21: expected a whole number, found 'Heading'",
       {{F(seed), 77}}},
      {{{152, "0.03" + kEnd}},
       "line 153: unexpected end of input (the parameter file has 152 lines)"},
      {{{23, "10 20 -5"}}, "  The last look has been set at 10.\nline 23: the analysis times must "
                           "increase: analysis 3 (10) is not after analysis 2 (20)"},
      // Up to 10000 the planned information's grid advances; far beyond, a run never ends.
      {{{23, "10 20 10000"}}, "", {{F(analysisTimes[3]), 10000}}},
      {{{23, "10 20 4e18"}},
       "line 23: the last analysis time is 4e+18; at most 10000 time units are supported (the "
       "planned information is integrated in steps of 0.01 up to it)"},
      {{{20, "16"}}, "line 20: the number of analyses is 16; at most 15 are supported"},
      {{{26, "-1"}}, "line 26: the number of test statistics is -1; at least 1 is needed"},
      {{{140, "21"}}, "line 140: the number of drop-in points is 21; at most 20 are supported"},
      // Limits at their edges; a skipped line is not held; the last needs no line end.
      {{{12, longLine}, {20, "15"}, {23, "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15"}, {26, "5"},
        {30, "5*0"}, {33, "5*0"}, {49, "15*0"}, {61, "15*2"}, {88, "10 20 1000000"},
        {95, "0.9999"}, {148, "20"}, {150, "20*1"}, {152, "20*1" + kEnd}},
       "", {{F(dropOutRates[20]), 1}}},
      {{{11, "5"}}, "line 11: the boundary method is 5; it must be 1, 2, 3 or 4"},
      {{{43, "3"}}, "line 43: the number of sides is 3; it must be 1 or 2"},
      {{{88, "-1 20 80"}}, "line 88: the accrual period is negative (-1)"},
      {{{88, "10 -20 80"}}, "line 88: the lower bound of the accrual rate is negative (-20)"},
      {{{88, "10 60 50"}}, "line 88: " + above},
      {{{88, "0 60 0"}}, "line 88: " + above},  // the upper bound after its default
      {{{88, "10 20 1000001"}},
       "line 88: the upper bound of the accrual rate (1000001) times the accrual period (10) gives "
       "more than 10000000 patients per trial"},
      {{{95, "1"}, {148, "0"}},
       kOne + "line 95: the desired power is 1; it must lie strictly between 0 and 1"},
      {{{95, "0"}}, "line 95: the desired power is 0; it must lie strictly between 0 and 1"},
      {{{20, "two"}, {23, "0"}}, "line 20: expected a whole number, found 'two'",
       {{F(analysisCount), 0}}},  // nothing after the failing line runs
      // Curves rise in time and never in survival, after their repairs.
      {{{78, "12 12"}}, "line 78: the cut points of the baseline curve must increase from above "
                        "0: cut point 2 (12) is not above cut point 1 (12)"},
      {{{83, "1.2 0.4"}}, "line 83: the survival values of the baseline curve" + rise +
                              "1 (1.2) is above 1"},
      // After its repair the last value may lie above an earlier one.
      {{{83, "0 0"}}, survivalRepair("   24.000") + "line 83: the survival values of the "
                      "baseline curve" + rise + "2 (1e-05) is above survival value 1 (0)"},
      {{{108, "1"}, {113, "0.5 0.6"}}, "line 113: the survival values of the treatment curve" +
                                           rise + "2 (0.6) is above survival value 1 (0.5)"},
      {{{129, "2"}, {132, "35 20"}}, "line 132: the cut points of the treatment censoring curve "
                                     "must increase from above 0: cut point 2 (20) is not above "
                                     "cut point 1 (35)"}});
}

// Creating and replacing the report, and failing to, are checked in tests/report.
TEST(OutputFile, OpenedAfterLine14AndAFailedOpenOfANameThatASlashCutShortSuggestsQuotes) {
  const std::string failed = "line 14: cannot open 'results': Is a directory";
  // In the file of zeros after the message of line 11, before that of line 17.
  EXPECT_EQ(outcome(file({{14, "results"}}, true)),
            "  The Lan-Demets method is chosen.\n" + failed);
  EXPECT_EQ(outcome(file({{14, "results/out.txt"}})),
            failed + "; the name ended at a '/': put a name that holds one in quotes");
  // Quoted, or ended by something else: nothing was cut by a slash.
  for (const char* line14 : {"'results'", "results out.txt", "'results'/out.txt", "results,/"})
    EXPECT_EQ(outcome(file({{14, line14}})), failed) << line14;
  // Without trailing blanks, from the line after 14 when that is empty.
  EXPECT_EQ(outcome(file({{14, "\n 'results   ' more"}})),
            "line 15: cannot open 'results': Is a directory");
}

#undef F

}  // namespace
}  // namespace survseq::input
