// The report's block for the pass under the null hypothesis: the design as planned, its
// trials drawn with the treatment arm following the control arm's law, and the share of
// them that each statistic rejects, overall and at each look.

#include <ostream>
#include <string>

#include "report/output_line.h"
#include "search/report.h"
#include "search/run_record.h"

namespace survseq::search {

using report::LaidOutLine;

void Report::writeUnderNullBlock(const input::DesignParameters& design,
                                 const IterationRecord& pass) {
  const std::string stars(53, '*');
  LaidOutLine()
      .endLine()
      .text(stars)
      .endLine()
      .text("*************** Under the null hypothesis ***********")
      .endLine()
      .text(stars)
      .endLine()
      .text(" The design as planned, its trials drawn with the treatment")
      .endLine()
      .text(" arm following the control arm's survival, at the rate")
      .fixed(pass.accrualRate, 9, 2)
      .endLine()
      .text(" (")
      .integer(pass.patientCount, 8)
      .text(" patients). The share of trials that reject:")
      .writeTo(file_);
  const auto writeLookShares = [&](const std::array<LookFigures, input::MaxAnalyses + 1>& looks) {
    LaidOutLine line;
    line.text("   at each look:");
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      const double share =
          double(looks[static_cast<size_t>(k)].stoppedCount) / double(design.simulationCount);
      line.fixed(static_cast<float>(share), 8, 4);
    }
    line.writeTo(file_);
  };
  for (const StatisticRecord& statistic : pass.statistics) {
    writePowerLine(file_, statistic.summary, " ", " type-I error =");
    writeLookShares(statistic.looks);
  }
  if (pass.combination) {
    LaidOutLine()
        .text(" the combination of statistics:  type-I error =")
        .fixed(pass.combination->estimate.power, 6, 4)
        .blanks(3)
        .text("s.d. = ")
        .fixed(pass.combination->estimate.standardError, 7, 5)
        .writeTo(file_);
    writeLookShares(pass.combination->looks);
  }
  LaidOutLine().text(std::string(56, '*')).writeTo(file_);
}

}  // namespace survseq::search
