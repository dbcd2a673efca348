// The event targets a design may not have. (The expected events and the planned
// information are checked in tests/plan, against the moments' integrals.)
#include <gtest/gtest.h>

#include "bounds/look_schedule.h"
#include "input/accrual_profile.h"
#include "plan/plan_designs.h"
#include "report/run_error.h"

namespace survseq::bounds {
namespace {

using plan::testing::exponentialDesign;

TEST(LookSchedule, TargetsThatCannotBePlannedAreRefused) {
  struct Refused { input::AnalysisTiming timing; input::AnalysisCounts events; input::AnalysisValues times; };
  const auto fixed = input::AnalysisTiming::FixedEvents, planned = input::AnalysisTiming::PlannedEvents;
  for (const Refused& r : {Refused{fixed, {0, 100, 100}, {}}, Refused{fixed, {0, 0, 100}, {}},
                           Refused{fixed, {0, 100, 400}, {}},  // 420 patients, 310 events at most
                           Refused{planned, {}, {0, 0.01f, 20}}, Refused{planned, {}, {0, 20, 20.001f}}}) {
    auto d = exponentialDesign(0.7f, 0.0f, 40.0f, {0, 0});
    d.analysisTiming = r.timing;
    d.analysisEvents = r.events;
    d.analysisTimes = r.times;
    EXPECT_THROW(lookSchedule(d, input::rateForPatients(d, 420)), RunError)
        << r.events[2] << ' ' << r.times[2];
  }
}

}  // namespace
}  // namespace survseq::bounds
