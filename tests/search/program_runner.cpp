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

ProgramRun runProgram(const std::string& parameterFile, const std::string& reportName) {
  static std::atomic<int> runNumber{0};
  const fs::path directory = fs::temp_directory_path() /
                             ("survseq_run_" + std::to_string(getpid()) + "_" +
                              std::to_string(runNumber++));
  fs::remove_all(directory);
  fs::create_directories(directory);
  writeFile(directory / "design.par", parameterFile);

  const std::string command = "cd '" + directory.string() + "' && '" SURVSEQ_BINARY
                              "' < design.par > console.txt 2> errors.txt";
  const int status = std::system(command.c_str());

  ProgramRun run;
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.console = readFile(directory / "console.txt");
  run.errors = readFile(directory / "errors.txt");
  if (!reportName.empty() && fs::exists(directory / reportName)) {
    run.report = readFile(directory / reportName);
  }
  fs::remove_all(directory);
  return run;
}

std::string exampleFile(const std::string& name) {
  return readFile(fs::path(SURVSEQ_SOURCE_DIR) / "examples" / name);
}

}  // namespace survseq::testing
