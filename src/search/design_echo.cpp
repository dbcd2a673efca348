// The echo of the design at the top of the report, and the console notice that
// names the report file.

#include <ostream>
#include <span>
#include <string>

#include "report/output_line.h"
#include "search/report.h"

namespace survseq::search {

using report::FixedGroup;
using report::LaidOutLine;
using report::writePlainLine;

namespace {

using input::DesignParameters;
using input::SurvivalCurve;

// The report file name is shown in the 20 columns the parameter file allows; a
// longer name is shown whole.
constexpr size_t kFileNameColumns = 20;

// A design laid out as a positional one keeps the positional echo, asterisks and all; any
// other shows a number too wide for its field whole.
report::Overflow overflowOf(const DesignParameters& design) {
  return input::usesKeyedOnlyFeatures(design) ? report::Overflow::Widen
                                               : report::Overflow::Asterisks;
}

// One "(x, y)" line per pair; the first line of a list has one blank more.
void writePointList(std::ostream& out, std::span<const float> x, std::span<const float> y,
                    report::Overflow overflow) {
  for (size_t i = 0; i < x.size(); ++i) {
    LaidOutLine(overflow)
        .blanks(i == 0 ? 2 : 1)
        .text("(")
        .fixed(x[i], 8, 3)
        .blanks(1)
        .fixed(y[i], 7, 3)
        .text(")")
        .writeTo(out);
  }
}

void writeCurvePoints(std::ostream& out, const SurvivalCurve& curve, report::Overflow overflow) {
  const size_t points = static_cast<size_t>(curve.count) + 1;  // (0, 1) first
  writePointList(out, std::span(curve.x).first(points), std::span(curve.s).first(points),
                 overflow);
}

void writeDropPoints(std::ostream& out, const input::DropPointValues& times,
                     const input::DropPointValues& rates, int32_t count,
                     report::Overflow overflow) {
  const size_t points = static_cast<size_t>(count);
  writePointList(out, std::span(times).subspan(1, points), std::span(rates).subspan(1, points),
                 overflow);
}

void writeHazardRatios(std::ostream& out, const DesignParameters& design) {
  writePlainLine(out, {"The alternative survival distribution is specified"});
  writePlainLine(out, {"by the hazard ratio to the baseline survival:"});
  // Beyond the layout of a positional design, a ratio whose interval ends beyond the field
  // holds from its left end on (no look comes after 10,000 time units); what follows it
  // is left out.
  const bool positionalLayout = !input::usesKeyedOnlyFeatures(design);
  for (int32_t i = 1; i <= design.hazardRatioCount; ++i) {
    const float leftEnd = i == 1 ? design.baselineCurve.x[0] : design.hazardRatioCuts[i - 1];
    if (!positionalLayout && report::formatFixed(design.hazardRatioCuts[i], 7, 2)[0] == '*') {
      LaidOutLine()
          .blanks(1)
          .text("hazard ratio from ")
          .fixed(leftEnd, 7, 2)
          .text(" on is ")
          .fixed(design.hazardRatios[i], 8, 4)
          .writeTo(out);
      return;
    }
    LaidOutLine(overflowOf(design))
        .blanks(1)
        .text("hazard ratio in (")
        .fixed(leftEnd, 7, 2)
        .blanks(1)
        .fixed(design.hazardRatioCuts[i], 7, 2)
        .text(") is ")
        .fixed(design.hazardRatios[i], 8, 4)
        .writeTo(out);
  }
}

const char* useFunctionLine(int32_t useFunction) {
  switch (useFunction) {
    case input::OBrienFleming:
      return "The OBrien & Fleming use function is specified.";
    case input::Pocock:
      return "The Pocock use function is specifieisd.";
    default:
      return "The linear use function is specified.";
  }
}

}  // namespace

void Report::writeSeedLine(int32_t seed) {
  LaidOutLine().text("The seed = ").integer(seed, 10).writeTo(file_);
}

void Report::writeDesignEcho(const DesignParameters& design) {
  const size_t analyses = static_cast<size_t>(design.analysisCount);
  const size_t statistics = static_cast<size_t>(design.statisticCount);

  LaidOutLine().text("Number of interim analyses = ").integer(design.analysisCount, 2).writeTo(file_);
  const report::Overflow overflow = overflowOf(design);
  if (design.analysisTiming == input::AnalysisTiming::FixedEvents) {
    // Such looks have no planned calendar times.
    LaidOutLine().text("Times of the interim analysis = at the event targets below").writeTo(file_);
  } else {
    LaidOutLine(overflow)
        .text("Times of the interim analysis = ")
        .repeated(std::span(design.analysisTimes).subspan(1, analyses), 12,
                  FixedGroup{1, 5, 2, 0})
        .writeTo(file_);
  }
  LaidOutLine()
      .text("The rho(s) of the statistic(s)  = ")
      .blanks(1)
      .repeated(std::span(design.rho).subspan(1, statistics), 5, FixedGroup{0, 8, 2, 1})
      .writeTo(file_);
  LaidOutLine()
      .text("The tau(s) of the statistic(s) = ")
      .blanks(1)
      .repeated(std::span(design.tau).subspan(1, statistics), 5, FixedGroup{0, 8, 2, 1})
      .writeTo(file_);
  LaidOutLine(overflow)
      .text("Accrual period and the upper bound on the accrual rate = ")
      .blanks(1)
      .fixed(design.accrualPeriod, 7, 2)
      .blanks(1)
      .fixed(design.accrualRate, 7, 2)
      .blanks(1)
      .writeTo(file_);
  LaidOutLine()
      .text("Type-I error is ")
      .fixed(design.typeIError, 5, 3)
      .text(" and ")
      .integer(design.sides, 1)
      .text(" sided test has been specified.")
      .writeTo(file_);

  writePlainLine(file_, {"(x,S(x)) of the baseline survival function are:"});
  writeCurvePoints(file_, design.baselineCurve, overflow);
  if (input::hazardRatiosGiven(design)) {
    writeHazardRatios(file_, design);
  } else {
    writePlainLine(file_, {"(x,S(x)) of the alternative survival function are:"});
    writeCurvePoints(file_, design.alternativeCurve, overflow);
  }
  LaidOutLine().text(" Censoring survival function for the control group").text(" are:").writeTo(file_);
  writeCurvePoints(file_, design.censoringControl, overflow);
  LaidOutLine().text(" Censoring survival function for the treatment group").text(" are:").writeTo(file_);
  writeCurvePoints(file_, design.censoringTreatment, overflow);

  writePlainLine(file_, {"The drop-in rate(s) are:"});
  writeDropPoints(file_, design.dropInTimes, design.dropInRates, design.dropInCount, overflow);
  writePlainLine(file_, {"The drop-out rate(s) are:"});
  writeDropPoints(file_, design.dropOutTimes, design.dropOutRates, design.dropOutCount,
                  overflow);

  if (design.boundaryMethod == input::LanDeMets) {
    switch (design.spendingFamily) {
      case input::SpendingFamily::HwangShihDeCani:
        writePlainLine(file_, {"The Hwang-Shih-DeCani use function with gamma =",
                               design.spendingGamma, " is specified."});
        break;
      case input::SpendingFamily::KimDeMets:
        writePlainLine(file_, {"The Kim-DeMets use function with exponent =",
                               design.spendingExponent, " is specified."});
        break;
      case input::SpendingFamily::Coded:
        writePlainLine(file_, {useFunctionLine(design.useFunction)});
        break;
    }
  }
  if (design.futility) {
    const auto interims = static_cast<size_t>(design.analysisCount - 1);
    LaidOutLine(report::Overflow::Widen)  // only a keyed design has futility bounds
        .text(design.futilityBinding ? "The binding" : "The non-binding")
        .text(" futility bounds of the interim looks are:")
        .endLine()
        .repeated(std::span(design.futilityZ).subspan(1, interims), 12, FixedGroup{1, 6, 2, 0})
        .writeTo(file_);
  }
}

void Report::writeOutputFileNotice(const std::string& outputFileName) {
  std::string shown = outputFileName;
  if (shown.size() < kFileNameColumns) shown.resize(kFileNameColumns, ' ');
  writePlainLine(console_, {"The output is stored in the file named below:"});
  writePlainLine(console_, {shown});
}

void Report::writeRunHeader(int32_t simulationCount) {
  const std::string hyphens(53, '-');
  writePlainLine(file_, {});
  LaidOutLine()
      .text(hyphens)
      .endLine()
      .text("The number of simulations in each iteration= ")
      .integer(simulationCount, 8)
      .endLine()
      .text(hyphens)
      .writeTo(file_);
}

}  // namespace survseq::search
