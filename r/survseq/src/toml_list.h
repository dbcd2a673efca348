#pragma once

// A keyed design document as R holds a design: a named list in the order of the file,
// tables as named lists, arrays of tables ([[statistics]]) as unnamed lists of them,
// arrays of numbers as numeric vectors, whole numbers as integers where they fit.

#include <cpp11.hpp>

#include <toml++/toml.h>

namespace survseq::r {

SEXP tomlToList(const toml::table& table);

}  // namespace survseq::r
