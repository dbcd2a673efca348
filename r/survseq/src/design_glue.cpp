// Designs from R: checked by the program's keyed reader, read from keyed or positional
// files, and given back to R as nested lists.

#include <cpp11.hpp>

#include <fstream>
#include <sstream>
#include <string>

#include "engine_call.h"
#include "input/design_parameters.h"
#include "input/keyed_design_file.h"
#include "input/keyed_design_writer.h"
#include "input/parameter_file.h"
#include "run/design_reading.h"
#include "toml_list.h"

using namespace survseq;

namespace {

// The keyed design in `text` read as the program reads a keyed file named `name`; its
// warnings go to `warnings`.
void readKeyedText(const std::string& text, const std::string& name, std::ostream& warnings) {
  std::istringstream in(text);
  input::DesignParameters design;
  run::readDesignWithoutReport(in, run::DesignSource{run::DesignFormat::Keyed, name, ""},
                               warnings, design);
}

}  // namespace

// Checks the keyed design `text` and returns its warnings, one line each.
[[cpp11::register]] std::string check_design_(std::string text, std::string name) {
  return r::engineCall([&] {
    std::ostringstream warnings;
    readKeyedText(text, name, warnings);
    return warnings.str();
  });
}

// The keyed design `text` as a nested list, in the order of the text.
[[cpp11::register]] SEXP design_list_(std::string text, std::string name) {
  return r::engineCall([&]() -> SEXP {
    std::istringstream in(text);
    return r::tomlToList(input::parseKeyedDesign(in, name));
  });
}

// The positional parameter file at `path` as the keyed design text `survseq convert`
// writes, with the reader's repair lines and the warnings of both steps.
[[cpp11::register]] cpp11::writable::strings positional_design_(std::string path) {
  return r::engineCall([&] {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) throw RunError("could not open the parameter file '" + path + "'");
    input::DesignParameters design;
    std::ostringstream repairs;
    std::ostringstream warnings;
    try {
      input::readParameterFile(file, repairs, warnings, design, [](const std::string&, int32_t) {});
    } catch (const RunError& error) {
      throw RunError(path + ": line " + std::to_string(error.line()) + ": " + error.what());
    }
    std::ostringstream keyed;
    input::writeKeyedDesign(design, keyed, warnings);
    return cpp11::writable::strings({keyed.str(), repairs.str(), warnings.str()});
  });
}
