// The spending families and the futility rule in simulated trials: the type-I error under
// the null hypothesis, the futility stops and the planned table of the report.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "build_kind.h"
#include "input/parameter_file.h"
#include "program_runner.h"
#include "report/output_line.h"
#include "search/simulation_pass.h"
#include "sim/uniform_generator.h"

namespace survseq::search {
namespace {

using testing::exampleFile;
using testing::replaceLines;

// One-sided 2.5 %, three looks at 24, 36 and 48 of a 24-month accrual of 120 patients, hazard
// ratio 1 throughout: some 50 to 60 events by the last look.
input::DesignParameters nullDesign(int32_t trials) {
  const std::string file = replaceLines(
      exampleFile("four_look_obrien_fleming.par"),
      {{20, "3"}, {23, "24 36 48"}, {37, std::to_string(trials)}, {49, "0 0 0"}, {61, "0 0 0"},
       {88, "24 5 5"}, {108, "2"}, {113, "1 1 1"}});
  std::istringstream in(file);
  std::ostringstream console;
  input::DesignParameters design;
  input::readParameterFile(in, console, console, design, [](const std::string&, int32_t) {});
  design.accrualRate = 5.0f;
  return design;
}

struct Pass {
  IterationRecord record;
  std::string report;
};

Pass runPass(input::DesignParameters design) {
  std::ostringstream console, file;
  Report report(console, file);
  sim::UniformGenerator generator;
  generator.nextUniform(design.seed);
  SimulationPass pass(patientCapacityFor(design), 2);
  const IterationRecord record = pass.run(design, generator, report);
  return {record, file.str()};
}

void futilityAt(input::DesignParameters& design, bool binding) {
  design.futility = true;
  design.futilityBinding = binding;
  design.futilityZ[1] = 0.0f;
  design.futilityZ[2] = 0.5f;
}

TEST(SpendingAndFutility, TypeOneErrorUnderTheNullHypothesis) {
  if (survseq::testing::kSanitizedBuild) GTEST_SKIP() << "statistical: optimised build only";
  constexpr int32_t kTrials = 20000;
  // Monte Carlo error of a rejection rate near alpha = 0.025: sqrt(0.025 * 0.975 / 20000)
  // = 0.0011; every rate must lie within three of it.
  const double alpha = 0.025, tolerance = 3.0 * std::sqrt(alpha * (1 - alpha) / kTrials);
  enum class Rule { None, NonBinding, Binding };
  struct Case { const char* what; input::SpendingFamily family; float parameter; Rule rule; };
  const Case cases[] = {
      {"Hwang-Shih-DeCani -4", input::SpendingFamily::HwangShihDeCani, -4.0f, Rule::None},
      {"Kim-DeMets 3", input::SpendingFamily::KimDeMets, 3.0f, Rule::None},
      {"non-binding futility", input::SpendingFamily::Coded, 0.0f, Rule::NonBinding},
      {"binding futility", input::SpendingFamily::Coded, 0.0f, Rule::Binding},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    input::DesignParameters design = nullDesign(kTrials);
    design.spendingFamily = c.family;
    design.spendingGamma = design.spendingExponent = c.parameter;
    if (c.rule != Rule::None) futilityAt(design, c.rule == Rule::Binding);
    const Pass pass = runPass(design);
    const StatisticRecord& statistic = pass.record.statistics[0];
    const double rate = statistic.summary.estimate.power;
    int32_t futilityStops = 0;
    for (const LookFigures& look : statistic.looks) futilityStops += look.futilityStoppedCount;
    // The report shows the planned table of these keyed-only designs, with the futility
    // stops of each interim look.
    const size_t table = pass.report.find("Planned boundaries of statistic 1:\n");
    ASSERT_NE(table, std::string::npos);
    if (c.rule != Rule::None) {
      const int32_t firstLook = statistic.looks[1].futilityStoppedCount;
      EXPECT_NE(pass.report.find(report::formatInteger(firstLook, 16), table), std::string::npos);
    }
    if (c.rule == Rule::None) {
      EXPECT_EQ(futilityStops, 0);
      EXPECT_NEAR(rate, alpha, tolerance);
    } else if (c.rule == Rule::Binding) {
      EXPECT_GT(futilityStops, kTrials / 2);  // under the null about 60 % stop for futility
      EXPECT_NEAR(rate, alpha, tolerance);
    } else {
      // Obeyed, a non-binding rule can only lower the error; the same trials without it
      // (the same efficacy bounds) keep alpha.
      input::DesignParameters ignored = design;
      ignored.futility = false;
      const double rateIgnored = runPass(ignored).record.statistics[0].summary.estimate.power;
      EXPECT_GT(futilityStops, kTrials / 2);
      EXPECT_LE(rate, rateIgnored);
      EXPECT_NEAR(rateIgnored, alpha, tolerance);
    }
  }
}

}  // namespace
}  // namespace survseq::search
