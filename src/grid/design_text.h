#pragma once

// The TOML text of a scenario's design, written into its folder and read back by the run:
// every real as the shortest decimal that reads back as the same number (0.7, not
// 0.69999999999999996), plain keys first, then the tables and arrays of tables.

#include <toml++/toml.h>

#include <string>

namespace survseq::grid {

std::string designText(const toml::table& design);

}  // namespace survseq::grid
