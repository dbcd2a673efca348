#include "input/parameter_file.h"

#include <array>
#include <span>

#include "input/curve_limits.h"
#include "input/curve_repairs.h"
#include "input/curve_warnings.h"
#include "input/design_limits.h"
#include "input/design_repairs.h"
#include "input/free_format_reader.h"
#include "input/seed_limits.h"
#include "report/message_text.h"
#include "report/run_error.h"

namespace survseq::input {

namespace {

// The free-format reader addressed by the line numbers of the file's layout: each
// read first skips the lines that come before its own. After a read that continued
// over several lines, every later layout line lies that much further down the input.
class LayoutReader {
 public:
  explicit LayoutReader(std::istream& in) : reader_(in) {}

  void wholeNumber(int32_t layoutLine, int32_t& value) {
    moveTo(layoutLine);
    reader_.readWholeNumbers(std::span<int32_t>(&value, 1));
  }

  void real(int32_t layoutLine, float& value) { reals(layoutLine, std::span<float>(&value, 1)); }

  void reals(int32_t layoutLine, std::span<float> values) {
    moveTo(layoutLine);
    reader_.readReals(values);
  }

  void text(int32_t layoutLine, std::string& value) {
    moveTo(layoutLine);
    reader_.readText(value);
  }

  bool textCutAtSlash() const { return reader_.textCutAtSlash(); }

  // Physical line of the input where the last read ended.
  int32_t lineNumber() const { return reader_.lineNumber(); }

 private:
  void moveTo(int32_t layoutLine) {
    while (reader_.readsDone() < layoutLine - 1) reader_.skipLine();
  }

  FreeFormatReader reader_;
};

// Entries 1..count of a table numbered from 1; count has been checked against the
// table's capacity before.
template <size_t Size>
std::span<float> oneBased(std::array<float, Size>& table, int32_t count) {
  return std::span<float>(table).subspan(1, static_cast<size_t>(count));
}

// Trailing blanks are not part of a file name.
std::string withoutTrailingBlanks(const std::string& name) {
  return name.substr(0, name.find_last_not_of(' ') + 1);
}

void readOutputFileName(LayoutReader& lines, DesignParameters& design,
                        const OutputFileOpener& openOutputFile) {
  lines.text(14, design.outputFileName);
  design.outputFileName = withoutTrailingBlanks(design.outputFileName);
  if (design.outputFileName.empty()) {
    throw RunError("no output file name is given", lines.lineNumber());
  }
  try {
    openOutputFile(design.outputFileName, lines.lineNumber());
  } catch (const RunError& error) {
    if (!lines.textCutAtSlash()) throw;
    throw RunError(std::string(error.what()) +
                       "; the name ended at a '/': put a name that holds one in quotes",
                   error.line());
  }
}

void readAnalyses(LayoutReader& lines, DesignParameters& design, std::ostream& console) {
  lines.wholeNumber(17, design.seed);
  repairSeed(design, console);
  requireSeedWithinStream(design.seed, lines.lineNumber());

  lines.wholeNumber(20, design.analysisCount);
  repairAnalysisCount(design, console);
  requireCountWithin(design.analysisCount, MaxAnalyses, "the number of analyses",
                     lines.lineNumber());
  lines.reals(23, oneBased(design.analysisTimes, design.analysisCount));
  repairLastAnalysisTime(design, console);
  requireIncreasingAnalysisTimes(design, lines.lineNumber());

  lines.wholeNumber(26, design.statisticCount);
  repairStatisticCount(design, console);
  requireCountWithin(design.statisticCount, MaxStatistics, "the number of test statistics",
                     lines.lineNumber());
  lines.reals(30, oneBased(design.rho, design.statisticCount));
  lines.reals(33, oneBased(design.tau, design.statisticCount));
  clearInformationLimits(design);

  lines.wholeNumber(37, design.simulationCount);
  repairSimulationCount(design, console);
}

void readBoundaries(LayoutReader& lines, DesignParameters& design, std::ostream& console,
                    std::ostream& warnings) {
  lines.real(40, design.typeIError);
  repairTypeIError(design, console);
  // Taken as read, as it always was; but no test has such an error.
  if (!(design.typeIError < 1.0f)) {
    report::writeWarning(warnings, lines.lineNumber(),
                         "the type-I error is 1 or more (" + report::numberText(design.typeIError) +
                             "); it must lie between 0 and 1, and the boundaries and powers "
                             "worked out from it mean nothing");
  }

  lines.wholeNumber(43, design.sides);
  repairSides(design, console);
  requireKnownSides(design, lines.lineNumber());

  design.errorSplit[0] = 0.0f;
  lines.reals(49, oneBased(design.errorSplit, design.analysisCount));
  accumulateErrorSplit(design, console);

  lines.real(54, design.haybittleBInput);
  chooseHaybittleB(design, console);

  lines.reals(61, oneBased(design.boundaryValues, design.analysisCount));
  repairBoundaryValues(design);

  lines.wholeNumber(70, design.useFunction);
  repairUseFunction(design, console);
}

void readBaselineAndAccrual(LayoutReader& lines, DesignParameters& design, std::ostream& console,
                            std::ostream& warnings) {
  SurvivalCurve& baseline = design.baselineCurve;
  lines.wholeNumber(74, baseline.count);
  repairBaselineIntervalCount(design, console);
  requireCountWithin(baseline.count, MaxIntervals, "the number of intervals of the baseline curve",
                     lines.lineNumber());
  lines.reals(78, oneBased(baseline.x, baseline.count));
  repairBaselineCutPoints(design, console);
  requireRisingCutPoints(baseline.x, baseline.count, "the baseline curve", lines.lineNumber());
  lines.reals(83, oneBased(baseline.s, baseline.count));
  repairLastSurvivalValue(baseline, console);
  requireNonRisingSurvival(baseline, "the baseline curve", lines.lineNumber());
  warnOfSteepControlIntervals(design, warnings, "line " + std::to_string(lines.lineNumber()));

  std::array<float, 3> accrual{design.accrualPeriod, design.accrualRateLower,
                               design.accrualRateUpper};
  lines.reals(88, accrual);
  design.accrualPeriod = accrual[0];
  design.accrualRateLower = accrual[1];
  design.accrualRateUpper = accrual[2];
  repairAccrual(design);
  requireFeasibleAccrual(design, lines.lineNumber());
}

void readAlternative(LayoutReader& lines, DesignParameters& design, std::ostream& console) {
  lines.wholeNumber(100, design.hazardRatioCount);
  repairHazardRatioCount(design, console);
  requireCountWithin(design.hazardRatioCount, MaxIntervals, "the number of hazard-ratio intervals",
                     lines.lineNumber());
  lines.reals(103, oneBased(design.hazardRatioCuts, design.hazardRatioCount));
  repairHazardRatioCuts(design, console);
  requireRisingCutPoints(design.hazardRatioCuts, design.hazardRatioCount,
                         "the treatment intervals", lines.lineNumber());

  // Line 113 holds either the hazard ratios or the treatment survival curve on the
  // same intervals; one line is read in both cases.
  lines.real(108, design.alternativeKind);
  if (hazardRatiosGiven(design)) {
    lines.reals(113, oneBased(design.hazardRatios, design.hazardRatioCount));
    repairHazardRatios(design, console);
  } else {
    prepareAlternativeCurve(design);
    lines.reals(113, oneBased(design.alternativeCurve.s, design.alternativeCurve.count));
    repairLastSurvivalValue(design.alternativeCurve, console);
    requireNonRisingSurvival(design.alternativeCurve, "the treatment curve", lines.lineNumber());
  }
}

// The cut points and survival values of a censoring curve whose count is known.
void readCensoringPoints(LayoutReader& lines, int32_t cutPointLine, int32_t survivalLine,
                         SurvivalCurve& curve, const char* what, std::ostream& console) {
  lines.reals(cutPointLine, oneBased(curve.x, curve.count));
  repairCensoringCutPoints(curve, console);
  requireRisingCutPoints(curve.x, curve.count, what, lines.lineNumber());
  lines.reals(survivalLine, oneBased(curve.s, curve.count));
  repairLastSurvivalValue(curve, console);
  requireNonRisingSurvival(curve, what, lines.lineNumber());
}

void readCensoring(LayoutReader& lines, DesignParameters& design, std::ostream& console) {
  SurvivalCurve& control = design.censoringControl;
  lines.wholeNumber(118, control.count);
  repairControlCensoringCount(design, console);
  requireCountWithin(control.count, MaxIntervals,
                     "the number of intervals of the control censoring curve", lines.lineNumber());
  readCensoringPoints(lines, 121, 124, control, "the control censoring curve", console);

  SurvivalCurve& treatment = design.censoringTreatment;
  lines.wholeNumber(129, treatment.count);
  repairTreatmentCensoringCount(design, console);
  requireCountWithin(treatment.count, MaxIntervals,
                     "the number of intervals of the treatment censoring curve",
                     lines.lineNumber());
  readCensoringPoints(lines, 132, 135, treatment, "the treatment censoring curve", console);
}

void readDropInAndOut(LayoutReader& lines, DesignParameters& design, std::ostream& console) {
  lines.wholeNumber(140, design.dropInCount);
  repairDropPointCount(design.dropInCount, console);
  requireCountWithin(design.dropInCount, MaxDropPoints, "the number of drop-in points",
                     lines.lineNumber());
  lines.reals(142, oneBased(design.dropInTimes, design.dropInCount));
  lines.reals(144, oneBased(design.dropInRates, design.dropInCount));

  lines.wholeNumber(148, design.dropOutCount);
  repairDropPointCount(design.dropOutCount, console);
  requireCountWithin(design.dropOutCount, MaxDropPoints, "the number of drop-out points",
                     lines.lineNumber());
  lines.reals(150, oneBased(design.dropOutTimes, design.dropOutCount));
  lines.reals(152, oneBased(design.dropOutRates, design.dropOutCount));
}

}  // namespace

void readParameterFile(std::istream& in, std::ostream& console, std::ostream& warnings,
                       DesignParameters& design, report::ReportFile& report) {
  readParameterFile(in, console, warnings, design,
                    [&report](const std::string& name, int32_t line) { report.open(name, line); });
}

void readParameterFile(std::istream& in, std::ostream& console, std::ostream& warnings,
                       DesignParameters& design, const OutputFileOpener& openOutputFile) {
  LayoutReader lines(in);

  lines.wholeNumber(11, design.boundaryMethod);
  repairBoundaryMethod(design, console);
  requireKnownBoundaryMethod(design, lines.lineNumber());
  readOutputFileName(lines, design, openOutputFile);

  readAnalyses(lines, design, console);
  readBoundaries(lines, design, console, warnings);
  readBaselineAndAccrual(lines, design, console, warnings);

  lines.real(95, design.desiredPower);
  const int32_t desiredPowerLine = lines.lineNumber();

  readAlternative(lines, design, console);
  readCensoring(lines, design, console);
  readDropInAndOut(lines, design, console);

  // Checked only now, so that a file of zeros still shows every repair message.
  requireAttainablePower(design, desiredPowerLine);
}

}  // namespace survseq::input
