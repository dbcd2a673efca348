#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "input/design_parameters.h"
#include "report/report_file.h"

namespace survseq::input {

inline constexpr int kParameterFileLines = 152;

// Reads the 152-line parameter file from `in` into `design` (which must start
// zeroed), applying every default and repair right after its own line with the
// messages on `console`, and opens `report` right after line 14. Values that are
// accepted but deserve a second look are announced on `warnings`. Throws RunError,
// naming the line, for anything it cannot read or accept.
void readParameterFile(std::istream& in, std::ostream& console, std::ostream& warnings,
                       DesignParameters& design, report::ReportFile& report);

// Opens the output file named on line 14; `line` is the physical line that named it.
using OutputFileOpener = std::function<void(const std::string& name, int32_t line)>;

// The same reading with the opening of the output file handed to `openOutputFile`,
// which is called once, after line 14 and before line 15 is read.
void readParameterFile(std::istream& in, std::ostream& console, std::ostream& warnings,
                       DesignParameters& design, const OutputFileOpener& openOutputFile);

}  // namespace survseq::input
