#include "golden_cases.h"

#include "program_runner.h"

namespace survseq::testing {

namespace fs = std::filesystem;

fs::path goldenPath(const std::string& name, const char* extension) {
  return fs::path(SURVSEQ_SOURCE_DIR) / "tests" / "search" / "golden" / (name + extension);
}

std::vector<GoldenCase> exampleGoldenCases() {
  return {
      GoldenCase{"defaults", exampleFile("defaults.par"), "defaults.out"},
      GoldenCase{"four_look_obrien_fleming", exampleFile("four_look_obrien_fleming.par"),
                 "four_look_obf.out"},
      GoldenCase{"delayed_effect_two_statistics", exampleFile("delayed_effect_two_statistics.par"),
                 "delayed_effect.out"},
      GoldenCase{"haybittle", exampleFile("haybittle.par"), "haybittle.out"},
      GoldenCase{"given_boundaries", exampleFile("given_boundaries.par"), "given_boundaries.out"},
      GoldenCase{"error_split", exampleFile("error_split.par"), "error_split.out"}};
}

// Designs made to reach each outcome and each unusual layout of the report.
std::vector<GoldenCase> purposeBuiltGoldenCases() {
  return {
      // Every trial's outcome is fixed by its size, so power steps from 0 to 1 and the
      // interpolation closes in on the step without ever meeting the target.
      GoldenCase{"iteration_limit", caseFile("step_in_power.par"), "step.out"},
      GoldenCase{"lower_bound_too_big",
                 replaceLines(exampleFile("four_look_obrien_fleming.par"), {{37, "200"}, {88, "24 25 30"}}),
                 "four_look_obf.out"},
      // b = 1.5 spends too much at the interim looks: b is raised until a final
      // critical value exists, and the success block warns about it.
      GoldenCase{"haybittle_b_raised",
                 replaceLines(exampleFile("haybittle.par"), {{37, "200"}, {54, "1.5"}}), "haybittle.out"},
      GoldenCase{"five_statistics",
                 replaceLines(exampleFile("delayed_effect_two_statistics.par"),
                              {{26, "5"}, {30, "0 0 1 1 0.5"}, {33, "0 1 0 1 0.5"}, {37, "100"}}),
                 "delayed_effect.out"},
      GoldenCase{"fifteen_analyses",
                 replaceLines(exampleFile("four_look_obrien_fleming.par"),
                              {{20, "15"},
                               {23, "8 12 16 20 24 28 32 36 40 44 48 52 56 60 64"},
                               {37, "100"},
                               {49, "15*0"},
                               {61, "15*0"}}),
                 "four_look_obf.out"},
      // Nobody has entered by the first look at time 0; no effect, so the search ends
      // after one iteration.
      GoldenCase{"no_entry_note",
                 replaceLines(exampleFile("error_split.par"),
                              {{20, "2"}, {23, "0 30"}, {37, "5"}, {49, "0.01 0.04"}, {61, "0 0"}, {113, "1.0"}}),
                 "error_split.out"},
      // A harmful treatment in a two-sided test rejects on the negative side only.
      GoldenCase{"negative_side",
                 replaceLines(exampleFile("given_boundaries.par"), {{37, "200"}, {43, "2"}, {113, "1.6"}}),
                 "given_boundaries.out"}};
}

std::vector<GoldenCase> keyedGoldenCases() {
  std::vector<GoldenCase> cases;
  for (const std::string name : {"power_at_given_size", "event_driven_looks",
                                 "planned_event_looks", "unequal_allocation", "ramp_up_accrual"}) {
    cases.push_back({name, exampleFile(name + ".toml"), name + ".out", {}, true});
  }
  return cases;
}

std::vector<GoldenCase> allGoldenCases() {
  std::vector<GoldenCase> cases = exampleGoldenCases();
  for (const auto& more : {purposeBuiltGoldenCases(), keyedGoldenCases()}) {
    cases.insert(cases.end(), more.begin(), more.end());
  }
  return cases;
}

}  // namespace survseq::testing
