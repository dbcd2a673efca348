#include "run/protocol_table.h"

#include <cmath>
#include <limits>

#include "bounds/boundary_computation.h"
#include "bounds/hazard_ratio_bound.h"
#include "input/accrual_profile.h"
#include "report/run_error.h"

namespace survseq::run {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// The bounds of a look on the hazard-ratio scale, where the statistic and the look have one.
void hazardRatios(const input::DesignParameters& design, float rho, float tau, ProtocolLook& look) {
  look.efficacyHazardRatio = kNone;
  look.futilityHazardRatio = kNone;
  if (!bounds::isLogRank(rho, tau)) return;
  const double q0 = input::controlShare(design);
  if (look.efficacyZ < bounds::kBoundaryCap) {
    look.efficacyHazardRatio = bounds::hazardRatioAtBound(look.efficacyZ, look.events, q0);
  }
  if (look.hasFutilityBound) {
    look.futilityHazardRatio = bounds::hazardRatioAtBound(look.futilityZ, look.events, q0);
  }
}

double enrolledBy(const input::DesignParameters& design, int32_t patients, double time) {
  return patients * input::enrolledShareBy(design, time);
}

// One look's row: its time, events and patients, the bounds of `bounds` (an analytic or a
// planned look) on the Z scale and as hazard ratios.
template <typename Bounds>
ProtocolLook protocolLook(const input::DesignParameters& design, int32_t k, double time,
                          double events, double patients, const Bounds& bounds, float rho,
                          float tau) {
  ProtocolLook row;
  row.look = k;
  row.time = time;
  row.events = events;
  row.patients = patients;
  row.informationFraction = bounds.informationFraction;
  row.efficacyZ = bounds.efficacyZ;
  row.nominalP = bounds.nominalP;
  row.hasFutilityBound = bounds.hasFutilityBound;
  row.futilityZ = bounds.futilityZ;
  hazardRatios(design, rho, tau, row);
  return row;
}

}  // namespace

ProtocolTable protocolTableOfPlan(const input::DesignParameters& design,
                                  const plan::AnalyticPlan& plan) {
  ProtocolTable table{plan.accrualRate, plan.patients, {}};
  const plan::LooksUnderNull null = plan::looksUnderNull(design, plan);
  const bool eventTargets = design.analysisTiming != input::AnalysisTiming::Calendar;
  for (int32_t s = 1; s <= plan.statisticCount; ++s) {
    const plan::AnalyticStatistic& statistic = plan.statistics[static_cast<size_t>(s)];
    ProtocolStatistic out{s,  statistic.rho, statistic.tau,
                          {}, true,          plan::stopExpectations(design, plan, null, s)};
    for (int32_t k = 1; k <= plan.analysisCount; ++k) {
      const plan::AnalyticLook& look = statistic.looks[static_cast<size_t>(k)];
      // At an event target, the target itself (the null's looks keep it).
      const double events =
          eventTargets ? null[static_cast<size_t>(k)].events : look.expectedEvents;
      out.looks.push_back(protocolLook(design, k, look.expectedTime, events,
                                       enrolledBy(design, plan.patients, look.expectedTime), look,
                                       statistic.rho, statistic.tau));
    }
    table.statistics.push_back(out);
  }
  return table;
}

ProtocolTable protocolTableOfRun(const input::DesignParameters& design,
                                 const search::RunRecord& record) {
  ProtocolTable table{record.accrualRate, 0, {}};
  if (record.iterations.empty()) return table;
  const search::IterationRecord& last = record.iterations.back();
  table.accrualRate = last.accrualRate;
  table.patients = last.patientCount;
  plan::AnalyticPlan analytic;
  bool planned = false;
  try {
    analytic =
        plan::AnalyticModel(design, last.patientCount).plan(last.accrualRate, last.patientCount);
    planned = true;
  } catch (const RunError&) {
    // The looks wait for more events than the patients are expected to give: no expectations.
  }
  const plan::LooksUnderNull null =
      planned ? plan::looksUnderNull(design, analytic) : plan::LooksUnderNull{};
  for (size_t i = 0; i < last.statistics.size(); ++i) {
    const search::StatisticRecord& statistic = last.statistics[i];
    const auto s = static_cast<int32_t>(i + 1);
    ProtocolStatistic out{s, statistic.summary.rho, statistic.summary.tau, {}, planned, {}};
    if (planned) out.expected = plan::stopExpectations(design, analytic, null, s);
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      const bounds::PlannedLook& look = statistic.plannedLooks[static_cast<size_t>(k)];
      const double time = last.lookTime(design, k);
      out.looks.push_back(protocolLook(design, k, time,
                                       statistic.looks[static_cast<size_t>(k)].meanEventCount,
                                       enrolledBy(design, last.patientCount, time), look, out.rho,
                                       out.tau));
    }
    table.statistics.push_back(out);
  }
  return table;
}

}  // namespace survseq::run
