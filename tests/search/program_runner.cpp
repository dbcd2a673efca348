#include "program_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace survseq::testing {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string replaceLines(const std::string& parameterFile, const std::map<int, std::string>& lines) {
  std::vector<std::string> all;
  std::istringstream in(parameterFile);
  for (std::string line; std::getline(in, line);) all.push_back(line);
  for (const auto& [number, text] : lines) all.at(static_cast<size_t>(number - 1)) = text;
  std::string joined;
  for (const std::string& line : all) joined += line + '\n';
  return joined;
}

namespace {

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::string commandLine(const Invocation& invocation) {
  std::string command = quoted(SURVSEQ_BINARY);
  for (const std::string& option : invocation.options) command += " " + quoted(option);
  switch (invocation.input) {
    case ParameterInput::StandardInput:
      return command + " < design.par";
    case ParameterInput::FileArgument:
      return command + " design.par";
    case ParameterInput::DashArgument:
      return command + " - < design.par";
    case ParameterInput::None:
      break;
  }
  return command;
}

}  // namespace

ProgramRun runProgram(const std::string& parameterFile, const std::string& reportName,
                      const Invocation& invocation) {
  static std::atomic<int> runNumber{0};
  const fs::path directory = fs::temp_directory_path() /
                             ("survseq_run_" + std::to_string(getpid()) + "_" +
                              std::to_string(runNumber++));
  fs::remove_all(directory);
  fs::create_directories(directory);
  writeFile(directory / "design.par", parameterFile);

  std::string command = "cd " + quoted(directory.string()) + " && ";
  if (invocation.terminal) {
    // script gives the program a terminal of its own and copies what it shows.
    command += "script -qec \"" + commandLine(invocation) + " > console.txt\" /dev/null" +
               " < /dev/null > errors.txt 2>&1";
  } else {
    const bool emptyInput = invocation.input == ParameterInput::None;
    command += commandLine(invocation) + (emptyInput ? " < /dev/null" : "") +
               " > console.txt 2> errors.txt";
  }
  const int status = std::system(command.c_str());

  ProgramRun run;
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.console = readFile(directory / "console.txt");
  run.errors = readFile(directory / "errors.txt");
  if (!reportName.empty() && fs::exists(directory / reportName)) {
    run.report = readFile(directory / reportName);
  }
  for (const auto& entry : fs::directory_iterator(directory)) {
    const std::string name = entry.path().filename().string();
    if (name != "design.par" && name != "console.txt" && name != "errors.txt") {
      run.files[name] = readFile(entry.path());
    }
  }
  fs::remove_all(directory);
  return run;
}

ProgramRun runWithArguments(const std::vector<std::string>& arguments) {
  return runProgram("", "", {arguments, ParameterInput::None});
}

std::string exampleFile(const std::string& name) {
  return readFile(fs::path(SURVSEQ_SOURCE_DIR) / "examples" / name);
}

}  // namespace survseq::testing
