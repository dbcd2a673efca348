// survseq: reads a group-sequential survival design from standard input and searches
// by simulation for the accrual rate that gives the desired power.

#include <iostream>
#include <new>

#include "input/design_parameters.h"
#include "input/parameter_file.h"
#include "input/run_error.h"
#include "search/accrual_search.h"
#include "search/report.h"
#include "search/report_file.h"
#include "search/simulation_pass.h"
#include "sim/uniform_generator.h"

namespace {

using namespace survseq;

void runDesignSearch(input::DesignParameters& design, search::ReportFile& reportFile) {
  search::Report report(std::cout, reportFile.stream());
  sim::UniformGenerator generator;
  search::AccrualSearch accrualSearch(design, report);
  accrualSearch.start(generator);

  search::SimulationPass pass(search::patientCapacityFor(design));
  accrualSearch.run([&](input::DesignParameters& d) {
    return pass.run(d, generator, report).rejectionCount[1];
  });
}

int reportFailure(const char* what, int32_t line, search::ReportFile& reportFile) {
  std::cout.flush();
  try {
    reportFile.finish();  // keep what was written before the failure
  } catch (const RunError&) {
  }
  std::cerr << "survseq: ";
  if (line > 0) std::cerr << "line " << line << ": ";
  std::cerr << what << '\n';
  return 1;
}

}  // namespace

int main() {
  input::DesignParameters design;
  search::ReportFile reportFile;
  try {
    input::readParameterFile(std::cin, std::cout, design, reportFile);
    runDesignSearch(design, reportFile);
    reportFile.finish();
    std::cout.flush();
    if (!std::cout) throw RunError("could not write to standard output");
  } catch (const RunError& error) {
    return reportFailure(error.what(), error.line(), reportFile);
  } catch (const std::bad_alloc&) {
    return reportFailure("not enough memory for the simulated trials", 0, reportFile);
  }
  return 0;
}
