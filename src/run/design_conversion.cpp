#include "run/design_conversion.h"

#include <fstream>
#include <ostream>
#include <sstream>

#include "input/keyed_design_writer.h"
#include "input/parameter_file.h"
#include "report/run_error.h"

namespace survseq::run {

int convertDesignFile(const std::string& path, std::istream& standardInput, std::ostream& out,
                      std::ostream& errors) {
  std::ifstream file;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file.is_open()) {
      errors << "survseq: could not open the parameter file '" << path << "'\n";
      return 1;
    }
  }
  std::istream& in = path == "-" ? standardInput : file;
  input::DesignParameters design;
  std::ostringstream repairs;
  std::ostringstream warnings;
  try {
    input::readParameterFile(in, repairs, warnings, design, [](const std::string&, int32_t) {});
  } catch (const RunError& error) {
    errors << "survseq: ";
    if (error.line() > 0) errors << "line " << error.line() << ": ";
    errors << error.what() << '\n';
    return 1;
  }
  errors << warnings.str();
  input::writeKeyedDesign(design, out, errors);
  out.flush();
  if (!out) {
    errors << "survseq: could not write to standard output\n";
    return 1;
  }
  return 0;
}

}  // namespace survseq::run
