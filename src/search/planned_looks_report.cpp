// The planned boundary table of the report, written for designs that use what only the
// keyed file can state: per look the information fraction, the efficacy Z bound and its
// nominal one-sided p, and under a futility rule the futility Z bound with the trials that
// stopped there for futility.

#include <ostream>

#include "bounds/boundary_computation.h"
#include "report/output_line.h"
#include "search/report.h"
#include "search/run_record.h"

namespace survseq::search {

using report::LaidOutLine;

void Report::writePlannedLooks(const input::DesignParameters& design, int32_t statistic,
                               const StatisticRecord& record) {
  LaidOutLine header;
  header.text("Planned boundaries of statistic").integer(statistic, 2).text(":").endLine();
  header.text(" look     fraction  efficacy Z   nominal p");
  if (design.futility) header.text("  futility Z  futility stops   share");
  header.writeTo(file_);
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    const bounds::PlannedLook& look = record.plannedLooks[static_cast<size_t>(k)];
    LaidOutLine line;
    line.integer(k, 5)
        .fixed(look.informationFraction, 13, 4)
        .fixed(look.efficacyZ, 12, 4)
        .fixed(look.nominalP, 12, 8);
    if (look.hasFutilityBound) {
      const int32_t stops = record.looks[static_cast<size_t>(k)].futilityStoppedCount;
      line.fixed(look.futilityZ, 12, 4)
          .integer(stops, 16)
          .fixed(static_cast<float>(double(stops) / double(design.simulationCount)), 8, 4);
    }
    line.writeTo(file_);
  }
  if (design.futility) {
    LaidOutLine().text(" The efficacy bounds are ")
        .text(design.futilityBinding ? "computed with the futility bounds binding."
                                     : "those without futility (non-binding).")
        .writeTo(file_);
  }
  report::writePlainLine(file_, {});
}

}  // namespace survseq::search
