#pragma once

// Parameter files for the tests, built line by line: 152 lines in which each data
// line holds its values and every other line a heading, with chosen lines replaced.
// A replacement may hold line ends; the lines it adds push the rest of the file down,
// as a read continued over several lines does.

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "input/design_parameters.h"
#include "input/parameter_file.h"
#include "input/run_error.h"

namespace survseq::input::testing {

using LineTexts = std::map<int, std::string>;

// The 36 lines of the layout that carry values.
inline constexpr int kDataLines[] = {11,  14,  17,  20,  23,  26,  30,  33,  37,  40,  43,  49,
                                     54,  61,  70,  74,  78,  83,  88,  95,  100, 103, 108, 113,
                                     118, 121, 124, 129, 132, 135, 140, 142, 144, 148, 150, 152};

inline std::string buildFile(const LineTexts& dataTexts, const LineTexts& replaced) {
  std::string file;
  for (int line = 1; line <= kParameterFileLines; ++line) {
    if (const auto it = replaced.find(line); it != replaced.end()) {
      file += it->second;
    } else if (const auto data = dataTexts.find(line); data != dataTexts.end()) {
      file += data->second;
    } else {
      file += "Heading of line " + std::to_string(line) + ": values below, one per blank";
    }
    file += '\n';
  }
  return file;
}

// Every data line holds 0 for each value it needs once the counts are repaired: one
// value everywhere but line 88, which holds three.
inline std::string zeroFile(const LineTexts& replaced = {}) {
  LineTexts zeros;
  for (int line : kDataLines) zeros[line] = "0";
  zeros[88] = "0 0 0";
  return buildFile(zeros, replaced);
}

// A sound design that needs no repair: Lan-DeMets with O'Brien-Fleming, three
// analyses, two statistics, hazard ratios on two intervals.
inline std::string validFile(const LineTexts& replaced = {}) {
  const LineTexts values = {{11, "2"},        {14, "'design.out'"},
                            {17, "12345"},    {20, "3"},
                            {23, "10 20 30"}, {26, "2"},
                            {30, "0 1"},      {33, "0 0.5"},
                            {37, "500"},      {40, "0.05"},
                            {43, "2"},        {49, "0.01 0.015 0.025"},
                            {54, "3"},        {61, "3 2.5 2"},
                            {70, "1"},        {74, "2"},
                            {78, "12 24"},    {83, "0.7 0.4"},
                            {88, "10 20 80"}, {95, "0.8"},
                            {100, "2"},       {103, "12 24"},
                            {108, "2"},       {113, "0.7 0.8"},
                            {118, "1"},       {121, "30"},
                            {124, "0.9"},     {129, "1"},
                            {132, "35"},      {135, "0.85"},
                            {140, "1"},       {142, "5"},
                            {144, "0.02"},    {148, "2"},
                            {150, "4 8"},     {152, "0.03 0.04"}};
  return buildFile(values, replaced);
}

// What one reading produced; the output file is only recorded, never created.
struct Reading {
  DesignParameters design;
  std::string console;
  std::vector<std::pair<std::string, int32_t>> openedFiles;
};

// Reads `file`; a RunError passes through.
inline Reading readFile(const std::string& file) {
  Reading reading;
  std::istringstream in(file);
  std::ostringstream console;
  readParameterFile(in, console, reading.design, [&reading](const std::string& name, int32_t line) {
    reading.openedFiles.emplace_back(name, line);
  });
  reading.console = console.str();
  return reading;
}

// The error that ends the reading of `file`, with what had been written before it.
struct Failure {
  std::string message;
  int32_t line = -1;
  std::string console;
  DesignParameters design;
};

inline Failure readFailure(const std::string& file) {
  Failure failure;
  std::istringstream in(file);
  std::ostringstream console;
  try {
    readParameterFile(in, console, failure.design, [](const std::string&, int32_t) {});
    failure.message = "(no error)";
  } catch (const RunError& error) {
    failure.message = error.what();
    failure.line = error.line();
  }
  failure.console = console.str();
  return failure;
}

}  // namespace survseq::input::testing
