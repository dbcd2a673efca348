// The combination's block of an iteration in the report, written only for designs with a
// combination of statistics: its power, its mean stopping time, and per look its planned
// bound, the mean critical value the trials computed from their own covariances, and the
// trials it stopped there for efficacy and, under a futility rule, for futility.

#include <ostream>

#include "report/output_line.h"
#include "search/report.h"
#include "search/run_record.h"

namespace survseq::search {

using report::LaidOutLine;

void Report::writeCombination(const input::DesignParameters& design,
                              const CombinationRecord& record) {
  LaidOutLine header;
  header.text("The combination of statistics");
  for (int32_t i = 0; i < design.combinationCount; ++i) {
    header.integer(design.combinationStatistics[static_cast<size_t>(i)], 2);
  }
  header.text(design.sides == 2 ? " (max |Z|), the trial's test:" : " (max Z), the trial's test:")
      .endLine()
      .text(" power =")
      .fixed(record.estimate.power, 7, 4)
      .blanks(3)
      .text("s.d. = ")
      .fixed(record.estimate.standardError, 7, 5)
      .blanks(3)
      .text("average stopping time =")
      .fixed(record.averageStoppingTime, 9, 3)
      .endLine()
      .text(" look  planned Z   nominal p  mean critical   rejections   share");
  if (design.futility) header.text("  futility stops   share");
  header.writeTo(file_);
  const auto share = [&](int32_t count) {
    return static_cast<float>(double(count) / double(design.simulationCount));
  };
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    const bounds::PlannedLook& planned = record.plannedLooks[static_cast<size_t>(k)];
    const LookFigures& look = record.looks[static_cast<size_t>(k)];
    LaidOutLine line;
    line.integer(k, 5)
        .fixed(planned.efficacyZ, 11, 4)
        .fixed(planned.nominalP, 12, 8)
        .fixed(look.meanCriticalValue, 15, 4)
        .integer(look.stoppedCount, 13)
        .fixed(share(look.stoppedCount), 8, 4);
    if (design.futility) {
      line.integer(look.futilityStoppedCount, 16).fixed(share(look.futilityStoppedCount), 8, 4);
    }
    line.writeTo(file_);
  }
  LaidOutLine()
      .text(" Planned Z: at the expected covariances of the planned information. Mean critical:")
      .endLine()
      .text(" over the trials at the look, each from its own covariances. Each statistic above")
      .endLine()
      .text(" is tested on its own as if it alone were the trial's test.")
      .writeTo(file_);
  report::writePlainLine(file_, {});
}

}  // namespace survseq::search
