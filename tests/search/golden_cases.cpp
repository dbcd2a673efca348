#include "golden_cases.h"

namespace survseq::testing {

std::filesystem::path goldenPath(const std::string& name, const char* extension) {
  return std::filesystem::path(SURVSEQ_SOURCE_DIR) / "tests/search/golden" / (name + extension);
}

std::vector<GoldenCase> exampleGoldenCases() {
  return {{"defaults", exampleFile("defaults.par"), "defaults.out"},
          {"four_look_obrien_fleming", exampleFile("four_look_obrien_fleming.par"),
           "four_look_obf.out"},
          {"delayed_effect_two_statistics", exampleFile("delayed_effect_two_statistics.par"),
           "delayed_effect.out"},
          {"haybittle", exampleFile("haybittle.par"), "haybittle.out"},
          {"given_boundaries", exampleFile("given_boundaries.par"), "given_boundaries.out"},
          {"error_split", exampleFile("error_split.par"), "error_split.out"}};
}

// Designs made to reach each outcome and each unusual layout of the report.
std::vector<GoldenCase> purposeBuiltGoldenCases() {
  const std::string fourLooks = exampleFile("four_look_obrien_fleming.par");
  const std::string given = exampleFile("given_boundaries.par");
  return {
      // Every trial's outcome is fixed by its size, so power steps from 0 to 1 and the
      // interpolation closes in on the step without ever meeting the target.
      {"iteration_limit", caseFile("step_in_power.par"), "step.out"},
      {"lower_bound_too_big", replaceLines(fourLooks, {{37, "200"}, {88, "24 25 30"}}),
       "four_look_obf.out"},
      // b = 1.5 spends too much at the interim looks: b is raised until a final critical
      // value exists, and the success block warns about it.
      {"haybittle_b_raised", replaceLines(exampleFile("haybittle.par"), {{37, "200"}, {54, "1.5"}}),
       "haybittle.out"},
      {"five_statistics",
       replaceLines(exampleFile("delayed_effect_two_statistics.par"),
                    {{26, "5"}, {30, "0 0 1 1 0.5"}, {33, "0 1 0 1 0.5"}, {37, "100"}}),
       "delayed_effect.out"},
      {"fifteen_analyses",
       replaceLines(fourLooks, {{20, "15"}, {23, "8 12 16 20 24 28 32 36 40 44 48 52 56 60 64"},
                                {37, "100"}, {49, "15*0"}, {61, "15*0"}}),
       "four_look_obf.out"},
      // Nobody has entered by the first look at time 0; no effect, so the search ends
      // after one iteration.
      {"no_entry_note",
       replaceLines(exampleFile("error_split.par"), {{20, "2"}, {23, "0 30"}, {37, "5"},
                                                     {49, "0.01 0.04"}, {61, "0 0"}, {113, "1.0"}}),
       "error_split.out"},
      // A harmful treatment rejects on the negative side only in a two-sided test; tested
      // one-sided, its power at the upper bound is 0 and the search ends at once.
      {"negative_side", replaceLines(given, {{37, "200"}, {43, "2"}, {113, "1.6"}}),
       "given_boundaries.out"},
      {"one_sided_harm", replaceLines(given, {{37, "200"}, {43, "1"}, {113, "1.6"}}),
       "given_boundaries.out"},
      // A large effect and a first critical value of 0.5: every trial stops at the first
      // look, and the later ones have no critical value. The report's name needs escaping.
      {"all_stop_at_first_look",
       replaceLines(given, {{14, "'a&b <c>\".out'"}, {37, "50"}, {61, "0.5 2.963 2.359 2.014"},
                            {113, "0.2"}}),
       "a&b <c>\".out"}};
}

std::vector<GoldenCase> keyedGoldenCases() {
  std::vector<GoldenCase> cases;
  for (const std::string name : {"power_at_given_size", "event_driven_looks",
                                 "planned_event_looks", "unequal_allocation", "ramp_up_accrual",
                                 "spending_and_futility"}) {
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
