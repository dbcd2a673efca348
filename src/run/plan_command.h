#pragma once

// `survseq plan FILE`: the analytic plan of a design, at once and without simulation.

#include <iosfwd>
#include <optional>
#include <string>

#include "run/design_run.h"

namespace survseq::run {

// Reads the design from `path` ("-": `standardInput`) in `format` (none: by the file's
// name, positional for standard input), prints its analytic plan on
// `console` and, when `jsonPath` is not empty, writes {design, plan} there; when
// `tablePath` is not empty, the planned table there as Markdown (.md) or CSV (.csv). The reader's
// repair lines and warnings go to `errors`, so that standard output holds the plan only;
// the design's report file is neither created nor touched. A JSON file that is the design
// file is refused; `standardInputFile` names the file behind standard input, to be kept
// apart as well ("/dev/stdin"; empty: none). Returns the exit status: 0, or 1 after one
// line on `errors`.
int runPlanFile(const std::string& path, std::istream& standardInput, std::ostream& console,
                std::ostream& errors, const std::string& jsonPath,
                std::optional<DesignFormat> format = std::nullopt,
                const std::string& standardInputFile = "", const std::string& tablePath = "");

}  // namespace survseq::run
