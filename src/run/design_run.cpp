#include "run/design_run.h"

#include <iostream>
#include <new>

#include "input/design_parameters.h"
#include "report/report_file.h"
#include "report/run_error.h"
#include "run/analytic_comparison.h"
#include "run/design_reading.h"
#include "run/design_search.h"
#include "run/run_views.h"
#include "run/thread_count.h"

namespace survseq::run {

namespace {

int reportFailure(const std::string& place, const char* what, report::ReportFile& reportFile,
                  std::ostream& console, std::ostream& errors) {
  console.flush();
  reportFile.abandon();  // an earlier report of the same name stays as it was
  errors << "survseq: " << place << what << '\n';
  return 1;
}

// The key of the keyed file that holds what line `line` of the positional file holds, for
// the lines that faults found while a design runs name.
std::string keyOfLine(int32_t line) {
  switch (line) {
    case 54:
      return "boundary.b: ";
    case 142:
      return "drop_in.times: ";
    case 150:
      return "drop_out.times: ";
    default:
      return "";
  }
}

// Where a fault lies: the line of a positional file. A keyed file has no numbered lines, and
// its reader names file, line and key in the message itself; a fault found while its design
// runs names the file and the key.
std::string faultPlace(int32_t line, DesignFormat format, const std::string& designName) {
  if (line <= 0) return "";
  if (format == DesignFormat::Keyed) return designName + ": " + keyOfLine(line);
  return "line " + std::to_string(line) + ": ";
}

}  // namespace

int runDesign(std::istream& parameters, std::ostream& console, std::ostream& errors,
              const RunOptions& options, const std::string& designName) {
  input::DesignParameters design;
  report::ReportFile reportFile;
  RunViews views(options, console, errors);
  try {
    report::FileRoles files;
    if (!options.designFile.empty()) {
      const bool standardInput = designName == "<stdin>";
      files.input(options.designFile,
                  standardInput ? "design read from standard input" : "design file",
                  standardInput ? "-" : designName);
    }
    views.claimFiles(files);
    const int32_t threads = threadsToUse(options.threads);
    readDesign(parameters,
               DesignSource{options.format.value_or(DesignFormat::Positional), designName,
                            options.reportPath},
               views.console(), errors, design, reportFile, files, [&] { views.createFiles(); });
    const std::string bracketNote = design.accrualForm == input::AccrualForm::AnalyticStart
                                        ? takeAnalyticStart(design)
                                        : std::string();
    const input::DesignParameters asRead = design;  // the search moves the bracket
    const search::RunRecord record =
        searchDesign(design, views.console(), reportFile.stream(), threads, views.observer(),
                     bracketNote, options.underNull);
    views.console().flush();
    if (!views.console() || !console) throw RunError("could not write to standard output");
    reportFile.finish();
    views.finish(asRead, record, threads);
  } catch (const RunError& error) {
    views.makeRoomForError();
    const DesignFormat format = options.format.value_or(DesignFormat::Positional);
    return reportFailure(faultPlace(error.line(), format, designName), error.what(), reportFile,
                         views.console(), errors);
  } catch (const std::bad_alloc&) {
    views.makeRoomForError();
    return reportFailure("", "not enough memory for the simulated trials", reportFile,
                         views.console(), errors);
  }
  return 0;
}

}  // namespace survseq::run
