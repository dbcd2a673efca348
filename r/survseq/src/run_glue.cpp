// Runs and plans of a design from R, in process: the same reading, search and analytic
// plan as `survseq FILE` and `survseq plan FILE`, with the records handed to R as data
// frames. Nothing is written behind R's back: the console lines and warnings come back as
// text for R to show, and a report file is written only when R names one.

#include <cpp11.hpp>

#include <sstream>
#include <string>

#include "engine_call.h"
#include "input/accrual_profile.h"
#include "input/design_parameters.h"
#include "plan/analytic_power.h"
#include "plan/analytic_rate.h"
#include "r_progress.h"
#include "record_frames.h"
#include "report/file_roles.h"
#include "report/report_file.h"
#include "run/analytic_comparison.h"
#include "run/design_reading.h"
#include "run/design_search.h"
#include "run/json_results.h"
#include "run/number_text.h"
#include "run/plan_views.h"
#include "run/protocol_table.h"
#include "run/program_info.h"
#include "run/thread_count.h"

using namespace survseq;

namespace {

// The keyed design `text` named `name`, read as `survseq plan` reads it (no report).
input::DesignParameters keyedDesign(const std::string& text, const std::string& name,
                                    std::ostream& warnings) {
  std::istringstream in(text);
  input::DesignParameters design;
  run::readDesignWithoutReport(in, run::DesignSource{run::DesignFormat::Keyed, name, ""},
                               warnings, design);
  return design;
}

// The analytic plan at the size where the search ended, beside the simulated figures; none
// when the analytic power cannot treat the design there.
SEXP analyticAtFinalSize(const input::DesignParameters& design, const search::RunRecord& record) {
  if (record.iterations.empty() || record.iterations.back().patientCount <= 0) return R_NilValue;
  const search::IterationRecord& last = record.iterations.back();
  const double patients = last.patientCount;
  try {
    const plan::AnalyticPlan analytic =
        plan::AnalyticModel(design, patients).plan(last.accrualRate, patients);
    return r::planList(analytic, run::protocolTableOfPlan(design, analytic), true);
  } catch (const RunError&) {
    return R_NilValue;
  }
}

}  // namespace

// Runs the keyed design `text` named `name` on `threads` threads (0: every core), writing
// the report to `report` when it is not empty. Returns the data frames iterations, looks
// and planned_looks, the outcome, the analytic plan at the final size, the threads used, the console lines and warnings and,
// when `withJson`, the program's JSON results written from the same records.
[[cpp11::register]] cpp11::writable::list simulate_design_(std::string text, std::string name,
                                                           int threads, std::string report,
                                                           bool progress, bool withJson) {
  return r::engineCall([&] {
    const int32_t used = run::threadsToUse(threads);
    std::istringstream in(text);
    std::ostringstream console;
    std::ostringstream warnings;
    input::DesignParameters design;
    report::ReportFile reportFile;
    const run::DesignSource source{run::DesignFormat::Keyed, name, report};
    if (report.empty()) {
      run::readDesignWithoutReport(in, source, warnings, design);
    } else {
      report::FileRoles files;  // the report is the one file written: nothing to keep apart
      run::readDesign(in, source, console, warnings, design, reportFile, files, [] {});
    }
    const std::string bracketNote = design.accrualForm == input::AccrualForm::AnalyticStart
                                        ? run::takeAnalyticStart(design)
                                        : std::string();
    const input::DesignParameters asRead = design;  // the search moves the bracket
    std::ostream noReport(nullptr);
    r::RProgress observer(progress);
    search::RunRecord record;
    try {
      record = run::searchDesign(design, console, reportFile.isOpen() ? reportFile.stream() : noReport,
                                 used, &observer, bracketNote);
    } catch (...) {
      observer.close();
      throw;
    }
    if (reportFile.isOpen()) reportFile.finish();
    const run::AnalyticComparison analytic = run::compareWithAnalytic(asRead, record);
    using cpp11::named_arg;
    cpp11::writable::list result({
        named_arg("iterations") = r::iterationFrame(record),
        named_arg("looks") = r::lookFrame(asRead, record),
        named_arg("planned_looks") = r::plannedLookFrame(asRead, record),
        named_arg("outcome") =
            r::outcomeList(record, analytic.accrualRate, analytic.powerAtFinalRate),
        named_arg("analytic") = analyticAtFinalSize(asRead, record),
        named_arg("desired_power") = run::shortestDouble(asRead.desiredPower),
        named_arg("threads") = used,
        named_arg("console") = console.str(),
        named_arg("warnings") = warnings.str()});
    if (input::usesCombination(asRead)) {
      result.push_back(named_arg("combination") = r::combinationFrame(asRead, record));
    }
    if (withJson) {
      result.push_back(named_arg("json") =
                           run::resultsJson(asRead, record, run::programVersion(),
                                            analytic.accrualRate, analytic.powerAtFinalRate));
    }
    return result;
  });
}

// The analytic plan of the keyed design `text`, as `survseq plan` works it out: the plan's
// figures, its text as the program prints it, the warnings and, when `withJson`, the
// program's JSON "plan" object.
[[cpp11::register]] cpp11::writable::list plan_design_(std::string text, std::string name,
                                                       bool withJson) {
  return r::engineCall([&] {
    std::ostringstream warnings;
    const input::DesignParameters design = keyedDesign(text, name, warnings);
    const plan::AnalyticPlan analytic = plan::planOfDesign(design);
    const bool givenSize = plan::hasGivenSize(design);
    const run::PlanBasis basis = givenSize ? run::PlanBasis::GivenSize : run::PlanBasis::DesiredPower;
    const run::ProtocolTable protocol = run::protocolTableOfPlan(design, analytic);
    using cpp11::named_arg;
    cpp11::writable::list result(
        {named_arg("plan") = r::planList(analytic, protocol, givenSize),
         named_arg("text") = run::planText(design, analytic, basis, protocol),
         named_arg("warnings") = warnings.str()});
    if (withJson) {
      result.push_back(named_arg("json") = run::planJson(design, analytic, basis, protocol).dump());
    }
    return result;
  });
}

// The analytic power of statistic 1 at each of `rates`, as the run compares it with the
// simulated power (the design's looks and boundaries at that size); NA where the analytic
// power cannot treat the design.
[[cpp11::register]] cpp11::writable::doubles analytic_power_curve_(std::string text,
                                                                   std::string name,
                                                                   cpp11::doubles rates) {
  return r::engineCall([&] {
    std::ostringstream warnings;
    const input::DesignParameters design = keyedDesign(text, name, warnings);
    cpp11::writable::doubles powers;
    for (const double rate : rates) {
      double power = NA_REAL;
      try {
        const double patients = input::patientsAtRate(design, static_cast<float>(rate));
        if (patients > 0) power = plan::AnalyticModel(design, patients).power(1, patients);
      } catch (const RunError&) {
      }
      powers.push_back(power);
    }
    return powers;
  });
}
