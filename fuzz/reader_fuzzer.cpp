// Feeds arbitrary bytes to the parameter reader as a parameter file. Every input must
// end either with a design whose counts fit their tables or with a RunError; anything
// else (another exception, a sanitizer report, a hang) is a finding. The output file
// is never opened.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <string>

#include "design_counts.h"
#include "input/design_parameters.h"
#include "input/parameter_file.h"
#include "report/run_error.h"

using survseq::fuzzing::countsFitTables;
using survseq::input::DesignParameters;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::ostream console(nullptr);  // a stream without buffer drops what it is given
  DesignParameters design;
  try {
    survseq::input::readParameterFile(in, console, console, design,
                                      [](const std::string&, int32_t) {});
  } catch (const survseq::RunError&) {
    return 0;
  }
  if (!countsFitTables(design)) std::abort();
  return 0;
}
