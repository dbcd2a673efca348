// survseq: reads a group-sequential survival design from standard input and searches
// by simulation for the accrual rate that gives the desired power.

#include <iostream>

#include "input/design_parameters.h"
#include "input/parameter_file.h"
#include "input/run_error.h"
#include "search/report_file.h"

int main() {
  using namespace survseq;
  input::DesignParameters design;
  search::ReportFile report;
  try {
    input::readParameterFile(std::cin, std::cout, design, report);
    report.finish();
  } catch (const RunError& error) {
    std::cout.flush();
    std::cerr << "survseq: ";
    if (error.line() > 0) std::cerr << "line " << error.line() << ": ";
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
