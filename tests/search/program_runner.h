#pragma once

// Runs the survseq program on a design file in a fresh directory and collects everything
// it produced.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace survseq::testing {

struct ProgramRun {
  int exitStatus = -1;
  std::string console;  // standard output
  std::string errors;   // standard error (under a terminal: what the terminal showed)
  std::string report;   // the report file, empty when none was written
  std::map<std::string, std::string> files;  // every file the run left, by name
};

// survseq [OPTIONS] < design, survseq [OPTIONS] design, survseq [OPTIONS] - < design, or
// no design and standard input left as it is.
enum class ParameterInput { StandardInput, FileArgument, DashArgument, None };

struct Invocation {
  std::vector<std::string> options;  // before the design file; paths are relative to the run
  ParameterInput input = ParameterInput::StandardInput;
  // Standard error (and standard input, with ParameterInput::None) on a pseudo-terminal,
  // by script(1); standard output still goes to a file.
  bool terminal = false;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);
// The parameter file text with the given lines (numbered from 1) replaced.
std::string replaceLines(const std::string& parameterFile, const std::map<int, std::string>& lines);

// Runs the program in `directory`, which must exist, and reads back the report file
// `reportName` and every file the run left there (the design, console and errors are kept
// elsewhere). runProgram does the same in a new directory, removed afterwards;
// runWithArguments runs the program with `arguments` alone and standard input empty.
ProgramRun runProgramIn(const std::filesystem::path& directory, const std::string& parameterFile,
                        const std::string& reportName, const Invocation& invocation = {});
ProgramRun runProgram(const std::string& parameterFile, const std::string& reportName,
                      const Invocation& invocation = {});
ProgramRun runWithArguments(const std::vector<std::string>& arguments);

std::filesystem::path freshDirectory(const std::string& purpose);  // new and empty
// True when `text` cites a line of the positional file: "line" and a blank before a digit.
bool citesPositionalLine(const std::string& text);

std::string exampleFile(const std::string& name);  // examples/<name>
std::string caseFile(const std::string& name);     // tests/search/cases/<name>

}  // namespace survseq::testing
