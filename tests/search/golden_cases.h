#pragma once

// The designs whose console and report are kept, reviewed, in tests/search/golden:
// every example, and designs made to reach each outcome and each unusual layout.

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "program_runner.h"

namespace survseq::testing {

struct GoldenCase {
  std::string name;
  std::string parameterFile;
  std::string reportName;  // as line 14 of the parameter file names it
  Invocation invocation = {};  // options that must leave the console and the report alone
};

// Names the case in test output instead of dumping its bytes.
inline void PrintTo(const GoldenCase& golden, std::ostream* out) { *out << golden.name; }

// tests/search/golden/<name><extension>, the extension ".console", ".report" or
// ".warnings" (kept only for the designs that draw warnings).
std::filesystem::path goldenPath(const std::string& name, const char* extension);

std::vector<GoldenCase> exampleGoldenCases();
std::vector<GoldenCase> purposeBuiltGoldenCases();

}  // namespace survseq::testing
