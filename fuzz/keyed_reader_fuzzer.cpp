// Feeds arbitrary bytes to the keyed reader as a keyed design file. Every input must end
// either with a design whose counts fit their tables or with a RunError; anything else
// (another exception, a sanitizer report, a hang) is a finding. A design that says no
// more than a positional file could is also written back as a keyed file, which must
// read back to the same design: the text written twice must agree.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "design_counts.h"
#include "input/design_parameters.h"
#include "input/keyed_design_file.h"
#include "input/keyed_design_writer.h"
#include "report/run_error.h"

namespace {

using survseq::fuzzing::countsFitTables;
using survseq::input::DesignParameters;

DesignParameters read(const std::string& text) {
  std::istringstream in(text);
  DesignParameters design;
  survseq::input::readKeyedDesign(survseq::input::parseKeyedDesign(in, "fuzz.toml"), "fuzz.toml",
                                  design);
  return design;
}

std::string written(const DesignParameters& design) {
  std::ostringstream out;
  std::ostringstream warnings;
  survseq::input::writeKeyedDesign(design, out, warnings);
  return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DesignParameters design;
  try {
    design = read(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const survseq::RunError&) {
    return 0;
  }
  if (!countsFitTables(design)) std::abort();
  if (survseq::input::usesKeyedOnlyFeatures(design)) return 0;
  const std::string once = written(design);
  try {
    if (written(read(once)) != once) std::abort();
  } catch (const survseq::RunError&) {
    std::abort();  // the writer wrote what the reader refuses
  }
  return 0;
}
