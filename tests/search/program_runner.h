#pragma once

// Runs the survseq program on a parameter file in a fresh directory and collects
// everything it produced.

#include <filesystem>
#include <map>
#include <string>

namespace survseq::testing {

struct ProgramRun {
  int exitStatus = -1;
  std::string console;  // standard output
  std::string errors;   // standard error
  std::string report;   // the report file, empty when none was written
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);

// The parameter file text with the given lines (numbered from 1) replaced.
std::string replaceLines(const std::string& parameterFile, const std::map<int, std::string>& lines);

// Runs the program with `parameterFile` on standard input, in a new directory,
// and reads back the report file `reportName` from there.
ProgramRun runProgram(const std::string& parameterFile, const std::string& reportName);

// The same in `directory`, which must exist; the parameter file, console and errors are
// kept elsewhere, so that the directory holds only what the program left there.
ProgramRun runProgramIn(const std::filesystem::path& directory, const std::string& parameterFile,
                        const std::string& reportName);

// A new empty directory for one run.
std::filesystem::path freshDirectory(const std::string& purpose);

std::string exampleFile(const std::string& name);

}  // namespace survseq::testing
