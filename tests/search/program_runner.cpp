#include "program_runner.h"

#include <cctype>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace survseq::testing {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string replaceLines(const std::string& parameterFile, const std::map<int, std::string>& lines) {
  std::istringstream in(parameterFile);
  std::string joined;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    const auto replaced = lines.find(++number);
    joined += (replaced == lines.end() ? line : replaced->second) + '\n';
  }
  return joined;
}

fs::path freshDirectory(const std::string& purpose) {
  static std::atomic<int> runNumber{0};
  const fs::path directory = fs::temp_directory_path() /
                             ("survseq_" + purpose + "_" + std::to_string(getpid()) + "_" +
                              std::to_string(runNumber++));
  fs::remove_all(directory);
  fs::create_directories(directory);
  return directory;
}

ProgramRun runProgramIn(const fs::path& directory, const std::string& parameterFile,
                        const std::string& reportName, const Invocation& invocation) {
  const auto quoted = [](const std::string& text) { return "'" + text + "'"; };
  const fs::path io = freshDirectory("io");  // the design, console and errors, kept apart
  writeFile(io / "design.par", parameterFile);
  std::string program = quoted(SURVSEQ_BINARY);
  for (const std::string& option : invocation.options) program += " " + quoted(option);
  const char* before[] = {" < ", " ", " - < "};  // the design, by ParameterInput
  if (invocation.input != ParameterInput::None) {
    program += before[static_cast<int>(invocation.input)] + quoted((io / "design.par").string());
  }
  const std::string console = quoted((io / "console.txt").string());
  const std::string errors = quoted((io / "errors.txt").string());
  std::string command = "cd " + quoted(directory.string()) + " && ";
  if (invocation.terminal) {
    // script gives the program a terminal of its own and copies what it shows.
    command += "script -qec \"" + program + " > " + console + "\" /dev/null < /dev/null > " +
               errors + " 2>&1";
  } else {
    const bool emptyInput = invocation.input == ParameterInput::None;
    command += program + (emptyInput ? " < /dev/null" : "") + " > " + console + " 2> " + errors;
  }
  const int status = std::system(command.c_str());

  ProgramRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(io / "console.txt"),
                 readFile(io / "errors.txt"), "", {}};
  for (const auto& entry : fs::directory_iterator(directory)) {
    run.files[entry.path().filename().string()] = readFile(entry.path());
  }
  if (run.files.count(reportName) != 0) run.report = run.files[reportName];
  fs::remove_all(io);
  return run;
}

ProgramRun runProgram(const std::string& parameterFile, const std::string& reportName,
                      const Invocation& invocation) {
  const fs::path directory = freshDirectory("run");
  ProgramRun run = runProgramIn(directory, parameterFile, reportName, invocation);
  fs::remove_all(directory);
  return run;
}

ProgramRun runWithArguments(const std::vector<std::string>& arguments) {
  return runProgram("", "", {arguments, ParameterInput::None});
}

std::string exampleFile(const std::string& name) {
  return readFile(fs::path(SURVSEQ_SOURCE_DIR) / "examples" / name);
}

std::string caseFile(const std::string& name) {
  return readFile(fs::path(SURVSEQ_SOURCE_DIR) / "tests" / "search" / "cases" / name);
}

bool citesPositionalLine(const std::string& text) {
  for (size_t at = text.find("line "); at != std::string::npos; at = text.find("line ", at + 1)) {
    if (at + 5 < text.size() && std::isdigit(static_cast<unsigned char>(text[at + 5]))) return true;
  }
  return false;
}

}  // namespace survseq::testing
