#pragma once

// The designs whose outputs are kept, reviewed, in tests/search/golden: every example, and
// designs made to reach each outcome and each unusual layout.

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "program_runner.h"

namespace survseq::testing {

struct GoldenCase {
  std::string name;
  std::string parameterFile;
  std::string reportName;      // as the design names it
  Invocation invocation = {};  // options that must leave the console and the report alone
  bool keyed = false;          // a keyed (TOML) design file, passed with --format toml
};

inline void PrintTo(const GoldenCase& golden, std::ostream* out) { *out << golden.name; }

// tests/search/golden/<name><extension>, the extension .console, .report, .json, .svg or
// .warnings (for the designs that draw warnings).
std::filesystem::path goldenPath(const std::string& name, const char* extension);

std::vector<GoldenCase> exampleGoldenCases();
std::vector<GoldenCase> purposeBuiltGoldenCases();
std::vector<GoldenCase> keyedGoldenCases();  // the examples of what only the keyed file has
std::vector<GoldenCase> allGoldenCases();    // the three above

}  // namespace survseq::testing
