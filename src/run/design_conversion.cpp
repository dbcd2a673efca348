#include "run/design_conversion.h"

#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>

#include "input/design_dialect.h"
#include "input/keyed_design_writer.h"
#include "input/parameter_file.h"
#include "report/run_error.h"
#include "run/design_reading.h"

namespace survseq::run {

int convertDesignFile(const std::string& path, std::istream& standardInput, std::ostream& out,
                      std::ostream& errors) {
  std::ifstream file;
  if (path != "-" && !openDesignFile(path, formatOfName(path), file, errors)) return 1;
  std::istream& in = path == "-" ? standardInput : file;
  const std::string name = path == "-" ? "<stdin>" : path;
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  input::DesignParameters design;
  std::ostringstream repairs;
  std::ostringstream warnings;
  try {
    if (input::holdsNothing(text)) throw RunError(name + ": empty: there is no design to read");
    if (input::looksLikeKeyedDesign(text)) {
      throw RunError(name + ": this looks like a keyed design file already; convert reads a "
                            "positional parameter file");
    }
    std::istringstream parameters(text);
    input::readParameterFile(parameters, repairs, warnings, design,
                             [](const std::string&, int32_t) {});
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
