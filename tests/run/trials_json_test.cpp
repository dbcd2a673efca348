// The JSON of a run at a given size with event-driven looks: the outcome kind and the
// per-look event targets and mean times, which a calendar design does not get.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "input/parameter_file.h"
#include "run/json_results.h"
#include "search/accrual_search.h"
#include "search/program_runner.h"
#include "search/simulation_pass.h"

namespace survseq::run {
namespace {

using nlohmann::json;

json resultsOf(bool eventDriven) {
  std::istringstream in(testing::replaceLines(testing::exampleFile("four_look_obrien_fleming.par"),
                                              {{37, "100"}}));
  std::ostringstream console, file;
  input::DesignParameters design;
  input::readParameterFile(in, console, console, design, [](const std::string&, int32_t) {});
  if (eventDriven) {
    design.accrualForm = input::AccrualForm::GivenPatients;
    design.givenPatients = 500;
    design.analysisTiming = input::AnalysisTiming::FixedEvents;
    design.analysisEvents = {0, 40, 80, 120, 160};
  }
  const input::DesignParameters asRead = design;
  search::Report report(console, file);
  sim::UniformGenerator generator;
  search::AccrualSearch search(design, report);
  search.start(generator);
  search::SimulationPass pass(search::patientCapacityFor(design));
  const search::RunRecord record = search.run(
      [&](input::DesignParameters& d) -> const search::IterationRecord& { return pass.run(d, generator, report); });
  return json::parse(resultsJson(asRead, record, "test"));
}

TEST(TrialsJson, EventTargetsAndMeanTimesOnlyForEventDrivenLooks) {
  const json driven = resultsOf(true);
  EXPECT_EQ(driven["outcome"]["kind"], "fixed_rate");
  EXPECT_EQ(driven["outcome"]["patients"], 500);
  ASSERT_EQ(driven["iterations"].size(), 1u);
  const json& looks = driven["iterations"][0]["statistics"][0]["looks"];
  double previous = 0.0;
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(looks[k]["event_target"], 40 * (k + 1));
    EXPECT_EQ(looks[k]["mean_events"], 40.0 * (k + 1));
    if (looks[k]["reached"] == 0) continue;
    EXPECT_GT(looks[k]["mean_time"].get<double>(), previous);
    previous = looks[k]["mean_time"].get<double>();
  }
  const json calendar = resultsOf(false)["iterations"][0]["statistics"][0]["looks"][0];
  EXPECT_FALSE(calendar.contains("event_target") || calendar.contains("mean_time"));
}

}  // namespace
}  // namespace survseq::run
