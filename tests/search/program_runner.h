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

// How the design file reaches the program: survseq [OPTIONS] < design, survseq [OPTIONS]
// design, survseq [OPTIONS] - < design, or not at all (standard input left as it is).
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

// Runs the program on `parameterFile` as `invocation` says, in `directory` (which must
// exist and holds only what the program leaves there), and reads back the report file
// `reportName` and every other file written there.
ProgramRun runProgramIn(const std::filesystem::path& directory, const std::string& parameterFile,
                        const std::string& reportName, const Invocation& invocation = {});
// The same in a new directory, removed afterwards.
ProgramRun runProgram(const std::string& parameterFile, const std::string& reportName,
                      const Invocation& invocation = {});
// The program with `arguments` alone, no design file, standard input empty.
ProgramRun runWithArguments(const std::vector<std::string>& arguments);

std::filesystem::path freshDirectory(const std::string& purpose);  // new and empty

// examples/<name> and tests/search/cases/<name>.
std::string exampleFile(const std::string& name);
std::string caseFile(const std::string& name);

}  // namespace survseq::testing
