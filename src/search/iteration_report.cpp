// The blocks each iteration of the search writes to the report file, and the console
// lines of the loops that raise b.

#include <ostream>
#include <string>
#include <vector>

#include "report/output_line.h"
#include "search/report.h"

namespace survseq::search {

using report::FixedGroup;
using report::LaidOutLine;
using report::writePlainLine;

namespace {

const std::string kIterationRule(55, '-');

// "st", "nd", "rd", then "th".
const char* ordinalSuffix(int32_t number) {
  switch (number) {
    case 1:
      return "st";
    case 2:
      return "nd";
    case 3:
      return "rd";
    default:
      return "th";
  }
}

}  // namespace

void writePowerLine(std::ostream& file, const StatisticSummary& summary, const char* indent,
                    const char* quantity) {
  LaidOutLine()
      .text(indent)
      .text("rho =")
      .fixed(summary.rho, 4, 1)
      .blanks(3)
      .text("tau =")
      .fixed(summary.tau, 4, 1)
      .blanks(3)
      .text(quantity)
      .fixed(summary.estimate.power, 6, 4)
      .blanks(3)
      .text("s.d. = ")
      .fixed(summary.estimate.standardError, 7, 5)
      .writeTo(file);
}

namespace {

void writeStatisticResultHeader(std::ostream& out, int32_t statistic) {
  if (statistic <= 3) {
    LaidOutLine()
        .text("---------Result of the ")
        .text(std::to_string(statistic))
        .text(ordinalSuffix(statistic))
        .text(" statistic:-----------")
        .writeTo(out);
  } else {
    LaidOutLine()
        .text("---------Result of the ")
        .integer(statistic, 2)
        .text("th statistic:-----------")
        .writeTo(out);
  }
}

// The per-analysis shares of the type-I error; the record holds running sums.
std::vector<float> errorShares(const input::DesignParameters& design) {
  std::vector<float> shares;
  for (int32_t i = 1; i <= design.analysisCount; ++i) {
    shares.push_back(static_cast<float>(double(design.errorSplit[i]) - double(design.errorSplit[i - 1])));
  }
  return shares;
}

}  // namespace

void Report::writeIterationHeader(int32_t iterationNumber, float accrualRate) {
  writePlainLine(file_, {});
  writePlainLine(file_, {std::string(50, '*')});
  writePlainLine(file_, {"This is the result of iteration:", iterationNumber});
  writePlainLine(file_, {"The present accrual rate is:", accrualRate});
  writePlainLine(file_, {});
  LaidOutLine().text(kIterationRule).writeTo(file_);
}

namespace {

// The line above the planned information: what the information is the expectation of.
const char* plannedInformationLabel(input::PlannedInformation scale) {
  switch (scale) {
    case input::PlannedInformation::Alternative:
      return "The information expected under the alternative is:";
    case input::PlannedInformation::Null:
      return "The information expected under the null is:";
    case input::PlannedInformation::Original:
      break;
  }
  return "The variance under the null are:";
}

}  // namespace

void Report::writePreSimulation(int32_t statistic, const HaybittleValues* haybittle,
                                input::PlannedInformation scale,
                                std::span<const float> plannedInformation) {
  LaidOutLine()
      .text("Pre-simulation information for the")
      .integer(statistic, 2)
      .text(ordinalSuffix(statistic))
      .text(" statistic are:")
      .writeTo(file_);
  if (haybittle != nullptr) {
    writePlainLine(file_, {"The b used in the Haybittle boundary is:", haybittle->b});
    LaidOutLine()
        .text("The c based on the asymptotic null distribution:")
        .fixed(haybittle->lastCriticalValue, 6, 2)
        .writeTo(file_);
  }
  LaidOutLine()
      .text(plannedInformationLabel(scale))
      .endLine()
      .blanks(1)
      .repeated(plannedInformation, 15, FixedGroup{0, 7, 2, 2})
      .writeTo(file_);
}

void Report::writeSubjectCount(int32_t subjectCount) {
  LaidOutLine()
      .text(kIterationRule)
      .endLine()
      .endLine()
      .text("The number of subjects simulated in this iteration =")
      .integer(subjectCount, 5)
      .endLine()
      .writeTo(file_);
}

void Report::writeNoEntryNote(float analysisTime, int32_t trialNumber) {
  writePlainLine(file_, {"no life enters before", analysisTime});
  writePlainLine(file_, {"no. of simulation=", trialNumber});
}

void Report::writePassResults(const input::DesignParameters& design,
                              std::span<const StatisticSummary> statistics) {
  const size_t analyses = static_cast<size_t>(design.analysisCount);
  LaidOutLine()
      .endLine()
      .text("The results of simulation for method:")
      .integer(design.boundaryMethod, 2)
      .endLine()
      .writeTo(file_);

  int32_t statistic = 0;
  for (const StatisticSummary& summary : statistics) {
    writeStatisticResultHeader(file_, ++statistic);
    writePowerLine(file_, summary, "");
    if (design.boundaryMethod == input::GivenBoundaries) {
      LaidOutLine()
          .text("The boundary values in the test are:")
          .endLine()
          .repeated(std::span(design.boundaryValues).subspan(1, analyses), 12, FixedGroup{0, 6, 2, 1})
          .writeTo(file_);
    } else if (design.boundaryMethod == input::ErrorSplit) {
      LaidOutLine()
          .text("The type-I error is splitted as e(1),..., e(")
          .integer(design.analysisCount, 2)
          .text(").")
          .endLine()
          .text(" They are:")
          .endLine()
          .blanks(1)
          .repeated(errorShares(design), 12, FixedGroup{0, 6, 4, 1})
          .writeTo(file_);
    }
    LaidOutLine().text("The average stopping time = ").fixed(summary.averageStoppingTime, 6, 3).writeTo(file_);
    writePlainLine(file_, {});
  }
}

void Report::writeHaybittleBIncrease() {
  LaidOutLine().text("b is too small.  I will increase b by 0.1").writeTo(console_);
}

void Report::writeUseFunctionBReset() { writePlainLine(console_, {" b is set to 3."}); }

void Report::writeUseFunctionBIncrease() {
  writePlainLine(console_, {" The present b is too small."});
  writePlainLine(console_, {" I will increase b by 0.1."});
}

}  // namespace survseq::search
