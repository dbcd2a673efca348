// The report lines of allocation, accrual pieces, event-driven analyses and a given size:
// written only for designs that use one of them, in the layout of the report's other lines.

#include <ostream>
#include <string>

#include "report/output_line.h"
#include "search/report.h"

namespace survseq::search {

using report::FixedGroup;
using report::LaidOutLine;
using report::writePlainLine;

namespace {

// These lines are written only for keyed-only designs, whose numbers are shown whole.
constexpr report::Overflow kWiden = report::Overflow::Widen;

constexpr int32_t kValuesPerLine = 12;

// `title` and then the integers [1..count], eight columns each, twelve to a line.
void writeCounts(std::ostream& out, const char* title, const input::AnalysisCounts& values,
                 int32_t count) {
  LaidOutLine line(kWiden);
  line.text(title);
  for (int32_t k = 1; k <= count; ++k) {
    if (k > 1 && (k - 1) % kValuesPerLine == 0) line.endLine().blanks(static_cast<int>(std::string(title).size()));
    line.integer(values[k], 8);
  }
  line.writeTo(out);
}

}  // namespace

void Report::writeTrialFeatureEcho(const input::DesignParameters& design) {
  if (!input::usesKeyedOnlyFeatures(design)) return;
  if (design.allocationRatio != 1.0f) {
    LaidOutLine(kWiden)
        .text("Allocation ratio (treatment patients per control patient) = ")
        .fixed(design.allocationRatio, 7, 3)
        .writeTo(file_);
  }
  if (design.accrualPieceCount > 0) {
    const auto pieces = static_cast<size_t>(design.accrualPieceCount);
    writePlainLine(file_, {"(duration, relative rate) of the accrual pieces are:"});
    for (size_t i = 1; i <= pieces; ++i) {
      LaidOutLine(kWiden)
          .blanks(i == 1 ? 2 : 1)
          .text("(")
          .fixed(design.accrualPieceDurations[i], 8, 3)
          .blanks(1)
          .fixed(design.accrualRelativeRates[i], 7, 3)
          .text(")")
          .writeTo(file_);
    }
  }
  switch (design.analysisTiming) {
    case input::AnalysisTiming::PlannedEvents:
      writePlainLine(file_, {"Each analysis takes place at the expected number of events"});
      writePlainLine(file_, {"by its time above, at the accrual rate of the iteration."});
      break;
    case input::AnalysisTiming::FixedEvents:
      writeCounts(file_, "Event targets of the analyses = ", design.analysisEvents,
                  design.analysisCount);
      break;
    case input::AnalysisTiming::Calendar:
      break;
  }
  if (design.accrualForm == input::AccrualForm::GivenPatients) {
    LaidOutLine(kWiden)
        .text("The number of patients is given: ")
        .integer(design.givenPatients, 8)
        .writeTo(file_);
  } else if (design.accrualForm == input::AccrualForm::GivenRate) {
    LaidOutLine(kWiden).text("The accrual rate is given: ").fixed(design.accrualRate, 9, 2).writeTo(file_);
  }
}

void Report::writeEventLooks(int32_t analysisCount, const input::AnalysisCounts& eventTargets,
                             const input::AnalysisValues& meanLookTimes) {
  const auto looks = static_cast<size_t>(analysisCount);
  writeCounts(file_, "Event targets of the analyses = ", eventTargets, analysisCount);
  LaidOutLine(kWiden)
      .text("Mean calendar times of the analyses = ")
      .endLine()
      .blanks(1)
      .repeated(std::span(meanLookTimes).subspan(1, looks), kValuesPerLine, FixedGroup{0, 9, 3, 1})
      .writeTo(file_);
  writePlainLine(file_, {});
}

}  // namespace survseq::search
