// The planned boundary table of the report, written for designs that use what only the
// keyed file can state: per look the information fraction, the efficacy Z bound and its
// nominal one-sided p, the mean events of the trials at the look and, for the log-rank
// statistic, the bound as the observed hazard ratio it means at those events
// (bounds/hazard_ratio_bound.h); under a futility rule the futility Z bound, as a hazard
// ratio too, with the trials that stopped there for futility.

#include <cmath>
#include <ostream>

#include "bounds/boundary_computation.h"
#include "bounds/hazard_ratio_bound.h"
#include "input/accrual_profile.h"
#include "report/output_line.h"
#include "search/report.h"
#include "search/run_record.h"

namespace survseq::search {

using report::LaidOutLine;

namespace {

// A bound on the hazard-ratio scale in a field of 10; a dash where it has none.
void hazardRatioField(LaidOutLine& line, bool logRank, float z, float events, double controlShare) {
  const double ratio = bounds::hazardRatioAtBound(z, events, controlShare);
  if (!logRank || z >= bounds::kBoundaryCap || std::isnan(ratio)) {
    line.text("         -");
  } else {
    line.fixed(static_cast<float>(ratio), 10, 4);
  }
}

}  // namespace

void Report::writePlannedLooks(const input::DesignParameters& design, int32_t statistic,
                               const StatisticRecord& record) {
  LaidOutLine header;
  header.text("Planned boundaries of statistic").integer(statistic, 2).text(":").endLine();
  header.text(" look     fraction  efficacy Z   nominal p     events  HR bound");
  if (design.futility) header.text("  futility Z  HR bound  futility stops   share");
  header.writeTo(file_);
  const bool logRank = bounds::isLogRank(record.summary.rho, record.summary.tau);
  const double controlShare = input::controlShare(design);
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    const bounds::PlannedLook& look = record.plannedLooks[static_cast<size_t>(k)];
    const float events = record.looks[static_cast<size_t>(k)].meanEventCount;
    LaidOutLine line;
    line.integer(k, 5)
        .fixed(look.informationFraction, 13, 4)
        .fixed(look.efficacyZ, 12, 4)
        .fixed(look.nominalP, 12, 8)
        .fixed(events, 11, 1);
    hazardRatioField(line, logRank, look.efficacyZ, events, controlShare);
    if (look.hasFutilityBound) {
      const int32_t stops = record.looks[static_cast<size_t>(k)].futilityStoppedCount;
      line.fixed(look.futilityZ, 12, 4);
      hazardRatioField(line, logRank, look.futilityZ, events, controlShare);
      line.integer(stops, 16)
          .fixed(static_cast<float>(double(stops) / double(design.simulationCount)), 8, 4);
    }
    line.writeTo(file_);
  }
  LaidOutLine()
      .text(" Events: the mean of the trials at the look. HR bound: the observed hazard ratio")
      .endLine()
      .text(" at which Z meets the bound with those events (the log-rank statistic only).")
      .writeTo(file_);
  if (design.futility) {
    LaidOutLine().text(" The efficacy bounds are ")
        .text(design.futilityBinding ? "computed with the futility bounds binding."
                                     : "those without futility (non-binding).")
        .writeTo(file_);
  }
  report::writePlainLine(file_, {});
}

}  // namespace survseq::search
