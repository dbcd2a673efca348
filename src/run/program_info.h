#pragma once

// What the program says about itself; both are generated when it is built.

#include <string_view>

namespace survseq::run {

// The project version, followed by "(git <revision>)" when built from a git checkout.
std::string_view programVersion();

// The annotated parameter file in which every value is 0, so that every default applies:
// a starting point to edit (examples/defaults.par).
std::string_view parameterTemplate();

// The annotated keyed design that shows every key with its default
// (examples/defaults.toml).
std::string_view keyedTemplate();

}  // namespace survseq::run
