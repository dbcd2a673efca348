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
                        const std::string& reportName) {
  const fs::path io = freshDirectory("io");
  writeFile(io / "design.par", parameterFile);
  const std::string command = "cd '" + directory.string() + "' && '" SURVSEQ_BINARY "' < '" +
                              (io / "design.par").string() + "' > '" +
                              (io / "console.txt").string() + "' 2> '" +
                              (io / "errors.txt").string() + "'";
  const int status = std::system(command.c_str());

  ProgramRun run;
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.console = readFile(io / "console.txt");
  run.errors = readFile(io / "errors.txt");
  if (!reportName.empty() && fs::exists(directory / reportName)) {
    run.report = readFile(directory / reportName);
  }
  fs::remove_all(io);
  return run;
}

ProgramRun runProgram(const std::string& parameterFile, const std::string& reportName) {
  const fs::path directory = freshDirectory("run");
  ProgramRun run = runProgramIn(directory, parameterFile, reportName);
  fs::remove_all(directory);
  return run;
}

std::string exampleFile(const std::string& name) {
  return readFile(fs::path(SURVSEQ_SOURCE_DIR) / "examples" / name);
}

}  // namespace survseq::testing
