#pragma once

// The keyed design file: a TOML document whose keys are the names of the JSON results'
// `design` object (docs/design-file.md). Unlike the positional file it repairs nothing:
// a value the positional reader would replace or refuse is an error naming the file,
// the line, the column and the key. Missing keys take the documented defaults.

#include <iosfwd>
#include <string>
#include <string_view>

#include <toml++/toml.h>

#include "input/design_parameters.h"

namespace survseq::input {

// Parses the TOML text; a syntax error throws RunError("file:line:col: message").
toml::table parseKeyedDesign(std::istream& text, const std::string& fileName);

// Fills `design` (which must start default) from the parsed document. Any fault throws
// RunError("file:line:col: key: message") with line() 0.
void readKeyedDesign(const toml::table& document, const std::string& fileName,
                     DesignParameters& design);

// "file:line:col: key" for `key` (dotted, e.g. "accrual.period") of the document, at the
// document's start when the key is absent: for what is found after reading, such as a
// report file that cannot be written, or a warning.
std::string keyedLocation(const toml::table& document, const std::string& fileName,
                          std::string_view key);

}  // namespace survseq::input
