// The per-look figures of every golden run's JSON file add up: every trial reaches the
// first look, those that stop (rejecting or for futility) leave, the rejections make the
// power, and stops and survivors make the average stopping time. The bytes themselves are
// reviewed goldens (tests/search/end_to_end_test.cpp).

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "search/golden_cases.h"

namespace survseq::run {
namespace {

using nlohmann::json;

float asFloat(const json& value) { return static_cast<float>(value.get<double>()); }

TEST(JsonResults, PerLookFiguresAddUpToThePowerAndTheAverageStoppingTime) {
  for (const testing::GoldenCase& golden : testing::allGoldenCases()) {
    SCOPED_TRACE(golden.name);
    const std::filesystem::path path = testing::goldenPath(golden.name, ".json");
    ASSERT_TRUE(std::filesystem::exists(path));
    const json results = json::parse(testing::readFile(path));
    const auto trials = results["design"]["simulations_per_iteration"].get<int32_t>();
    for (const json& iteration : results["iterations"]) {
      for (const json& statistic : iteration["statistics"]) {
        const json& looks = statistic["looks"];
        int32_t reached = trials;
        int32_t rejected = 0;
        double stoppingTimes = 0.0;
        for (size_t k = 0; k < looks.size(); ++k) {
          EXPECT_EQ(looks[k]["reached"], reached);
          const auto stopped = looks[k]["stopped"].get<int32_t>();
          const int32_t leaving = stopped + looks[k]["futility_stopped"].get<int32_t>();
          const double time = looks[k]["time"].get<double>();
          stoppingTimes += (k + 1 == looks.size() ? reached : leaving) * time;
          rejected += stopped;
          reached -= leaving;
          const json& planned = statistic["planned_looks"][k];
          EXPECT_NEAR(planned["nominal_p"].get<double>(),
                      0.5 * std::erfc(planned["efficacy_z"].get<double>() / std::sqrt(2.0)), 1e-7);
        }
        EXPECT_EQ(asFloat(statistic["power"]), float(rejected) / float(trials));
        // Looks at event counts come at each trial's own time, not at the looks' times.
        if (!looks[0].contains("mean_time")) {
          EXPECT_NEAR(statistic["average_stopping_time"].get<double>(), stoppingTimes / trials,
                      1e-4);
        }
      }
    }
  }
}

}  // namespace
}  // namespace survseq::run
