// The one block that ends every report: the accrual rate found, or what to change in
// the design; for a run at a given rate, the power at that rate.

#include <ostream>
#include <string>

#include "report/output_line.h"
#include "search/report.h"

namespace survseq::search {

using report::LaidOutLine;
using report::writePlainLine;

namespace {

void writeBanner(std::ostream& out) {
  const std::string stars(53, '*');
  LaidOutLine()
      .text(stars)
      .endLine()
      .text("************** Final Output *************************")
      .endLine()
      .text(stars)
      .writeTo(out);
}

void writeLines(std::ostream& out, std::initializer_list<const char*> lines) {
  for (const char* line : lines) LaidOutLine().text(line).writeTo(out);
}

void writeSuccess(std::ostream& out, const ClosingValues& values) {
  LaidOutLine()
      .text(" The desired power is ")
      .fixed(values.desiredPower, 7, 3)
      .endLine()
      .text(" At the accrual rate of")
      .fixed(values.accrualRate, 7, 1)
      .text(" the simulated power of")
      .endLine()
      .text(values.ofCombination ? " the combination is " : " the first statistic is ")
      .fixed(values.estimate.power, 7, 3)
      .text(". Since the standard   ")
      .endLine()
      .text(" error of this simulated power is ")
      .fixed(values.estimate.standardError, 7, 4)
      .text(", you have ")
      .writeTo(out);
  writeLines(out, {" reached within two standard errors of the desired   ",
                   " power. If you need a more accurate accrual rate, please "});
  if (values.namesKeys) {
    writeLines(out, {" set simulations_per_iteration in the design file to a",
                     " larger number and run this program again."});
  } else {
    writeLines(out, {" set the number of simulations parameter in the input file",
                     " (line 37) to a larger number and run this program again."});
  }
  LaidOutLine().text(std::string(56, '*')).writeTo(out);
}

}  // namespace

void Report::writeClosingBlock(SearchOutcome outcome, const ClosingValues& values) {
  writeBanner(file_);
  switch (outcome) {
    case SearchOutcome::UpperBoundTooSmall:
      writeLines(file_, {" The upper bound on the accrual rate is too small for",
                         "the desired power. Increase the upper bound on the"});
      if (values.namesKeys) {
        writeLines(file_, {"accrual rate (accrual.rate_upper of the design file) and",
                           "run this program again."});
      } else {
        writeLines(file_, {"accrual rate (line 88 of the input file) and run this",
                           "program again."});
      }
      break;
    case SearchOutcome::LowerBoundTooBig:
      writeLines(file_, {" The lower bound on the accrual rate is too big for",
                         "the desired power. Decrease the lower bound on the"});
      if (values.namesKeys) {
        writeLines(file_, {"accrual rate (accrual.rate_lower of the design file) and",
                           "run this program again."});
      } else {
        writeLines(file_, {"accrual rate (line 88 of the input file) and run ",
                           "this program again."});
      }
      break;
    case SearchOutcome::WithinTwoStandardErrors:
      writeSuccess(file_, values);
      break;
    case SearchOutcome::FixedRate:  // written by writeFixedRateClosing
      break;
    case SearchOutcome::IterationLimit:
      LaidOutLine()
          .text("  The maximum number of ")
          .integer(values.iterationLimit, 2)
          .text("  iterations has been")
          .writeTo(file_);
      writeLines(file_, {"reached. Please use the information on the last iteration"});
      if (values.namesKeys) {
        writeLines(file_, {"to modify accrual.rate_lower and accrual.rate_upper of the",
                           "design file and run this program again."});
      } else {
        writeLines(file_, {"to modify the upper and lower bounds (line 88) of the",
                           "input file and run this program again."});
      }
      break;
  }
}

void Report::writeFixedRateClosing(float accrualRate, int32_t patientCount,
                                   std::span<const StatisticSummary> statistics,
                                   const PowerEstimate* combination) {
  writeBanner(file_);
  LaidOutLine()
      .text(" The accrual rate given is")
      .fixed(accrualRate, 9, 2)
      .endLine()
      .text(" The number of patients per trial is")
      .integer(patientCount, 9)
      .endLine()
      .text(" The simulated power of each statistic at this size:")
      .writeTo(file_);
  for (const StatisticSummary& summary : statistics) writePowerLine(file_, summary, " ");
  if (combination != nullptr) {
    LaidOutLine()
        .text(" the combination of statistics:  power =")
        .fixed(combination->power, 6, 4)
        .blanks(3)
        .text("s.d. = ")
        .fixed(combination->standardError, 7, 5)
        .writeTo(file_);
  }
  LaidOutLine().text(std::string(56, '*')).writeTo(file_);
}

void Report::writeHaybittleBWarning(float bInput, float bUsed) {
  writePlainLine(file_, {});
  LaidOutLine()
      .text("********************** Warning ***********************")
      .endLine()
      .text(" The b in the input file is")
      .fixed(bInput, 6, 2)
      .text(", which is too small.")
      .endLine()
      .text("The b used in the simulation is")
      .fixed(bUsed, 6, 2)
      .text(". Please keep ")
      .endLine()
      .text("this in mind in your considerations.")
      .endLine()
      .text(std::string(54, '*'))
      .writeTo(file_);
}

}  // namespace survseq::search
