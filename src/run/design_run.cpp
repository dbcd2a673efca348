#include "run/design_run.h"

#include <iostream>
#include <new>

#include "input/design_parameters.h"
#include "input/parameter_file.h"
#include "report/report_file.h"
#include "report/run_error.h"
#include "run/thread_count.h"
#include "search/accrual_search.h"
#include "search/report.h"
#include "search/simulation_pass.h"
#include "sim/uniform_generator.h"

namespace survseq::run {

namespace {

void searchAccrualRate(input::DesignParameters& design, report::ReportFile& reportFile,
                       std::ostream& console, int32_t threads) {
  search::Report report(console, reportFile.stream());
  sim::UniformGenerator generator;
  search::AccrualSearch accrualSearch(design, report);
  accrualSearch.start(generator);

  search::SimulationPass pass(search::patientCapacityFor(design), threads);
  accrualSearch.run([&](input::DesignParameters& d) -> const search::IterationRecord& {
    return pass.run(d, generator, report);
  });
}

int reportFailure(const char* what, int32_t line, report::ReportFile& reportFile,
                  std::ostream& console, std::ostream& errors) {
  console.flush();
  try {
    reportFile.finish();  // keep what was written before the failure
  } catch (const RunError&) {
  }
  errors << "survseq: ";
  if (line > 0) errors << "line " << line << ": ";
  errors << what << '\n';
  return 1;
}

}  // namespace

int runDesign(std::istream& parameters, std::ostream& console, std::ostream& errors,
              const RunOptions& options) {
  input::DesignParameters design;
  report::ReportFile reportFile;
  try {
    const int32_t threads = threadsToUse(options.threads);
    input::readParameterFile(parameters, console, design, reportFile);
    searchAccrualRate(design, reportFile, console, threads);
    reportFile.finish();
    console.flush();
    if (!console) throw RunError("could not write to standard output");
  } catch (const RunError& error) {
    return reportFailure(error.what(), error.line(), reportFile, console, errors);
  } catch (const std::bad_alloc&) {
    return reportFailure("not enough memory for the simulated trials", 0, reportFile, console,
                         errors);
  }
  return 0;
}

}  // namespace survseq::run
