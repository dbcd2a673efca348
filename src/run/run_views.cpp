#include "run/run_views.h"

#include <ostream>

#include "plan/effect_direction.h"
#include "run/analytic_comparison.h"
#include "run/run_outcome.h"
#include "run/json_results.h"
#include "run/program_info.h"
#include "run/protocol_table_files.h"
#include "run/svg_plot.h"

namespace survseq::run {

RunViews::RunViews(const RunOptions& options, std::ostream& console, std::ostream& errors)
    : console_(console),
      errors_(errors),
      keyed_(options.format == DesignFormat::Keyed),
      jsonPath_(options.jsonPath),
      plotPath_(options.plotPath) {
  if (options.progress != ProgressMode::Off) {
    display_.emplace(errors, options.progress == ProgressMode::Live);
  }
  if (options.progress == ProgressMode::Live) {
    guard_ = std::make_unique<ConsoleGuard>(*console.rdbuf(), [this] { display_->stepAside(); });
    guarded_ = std::make_unique<std::ostream>(guard_.get());
  }
  if (!options.jsonPath.empty()) json_.emplace(options.jsonPath, "JSON file");
  if (!options.plotPath.empty()) plot_.emplace(options.plotPath, "plot");
  if (!options.tablePath.empty()) {
    table_.emplace(options.tablePath, "table file");
    tablePath_ = options.tablePath;
  }
}

void RunViews::claimFiles(report::FileRoles& files) const {
  if (json_) files.output(jsonPath_, "JSON file");
  if (plot_) files.output(plotPath_, "plot");
}

void RunViews::createFiles() {
  if (table_) tableFormatOfName(tablePath_);  // refused before anything is written
  if (json_) json_->create();
  if (plot_) plot_->create();
  if (table_) table_->create();
}

std::string RunViews::closingWords(const input::DesignParameters& design,
                                   const search::RunRecord& record) const {
  if (!keyed_) return outcomeWords(record.outcome);
  // A bracket that no rate could fill: what is wrong is the effect, not the bracket.
  if (record.outcome == search::SearchOutcome::UpperBoundTooSmall) {
    const plan::EffectFault fault = plan::effectFault(design);
    if (fault != plan::EffectFault::None) {
      return "no rate reaches the desired power: " + plan::effectFaultWords(fault);
    }
  }
  return outcomeWords(record.outcome, AdviceWording::Keys);
}

void RunViews::finish(const input::DesignParameters& design, const search::RunRecord& record,
                      int32_t threads) {
  AnalyticComparison analytic;
  if (json_ || display_) analytic = compareWithAnalytic(design, record);
  if (json_) {
    json_->write(resultsJson(design, record, programVersion(), analytic.accrualRate,
                             analytic.powerAtFinalRate));
  }
  if (plot_) {
    // The analytic curve is statistic 1's: it is left out where the combination is the test.
    plot_->write(searchPlotSvg(
        design, record,
        input::usesCombination(design)
            ? AnalyticPowerCurve{}
            : analyticPowerCurve(design, searchRateAxis(design, record, 0.0, 1.0))));
  }
  if (table_) {
    const ProtocolTable table = protocolTableOfRun(design, record);
    table_->write(tableFormatOfName(tablePath_) == TableFormat::Csv ? protocolTableCsv(table)
                                                                    : protocolTableMarkdown(table));
  }
  if (display_) {
    display_->writeClosingLine(record, design.outputFileName, threads, analytic.accrualRate,
                               analytic.powerAtFinalRate, closingWords(design, record));
    const std::string warning = analyticDistanceWarning(analytic, outcomeFigures(record));
    if (!warning.empty()) errors_ << "survseq: warning: " << warning << '\n' << std::flush;
  }
}

void RunViews::makeRoomForError() {
  if (display_) display_->stepAside();
}

}  // namespace survseq::run
