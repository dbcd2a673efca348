#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "run/design_run.h"

namespace survseq::run {

DesignFormat formatOfName(const std::string& path) {
  return path.ends_with(".toml") ? DesignFormat::Keyed : DesignFormat::Positional;
}

int runDesignFile(const std::string& path, std::istream& standardInput, std::ostream& console,
                  std::ostream& errors, RunOptions options) {
  if (path == "-") return runDesign(standardInput, console, errors, options);
  if (!options.format) options.format = formatOfName(path);
  options.designFile = path;
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    errors << "survseq: the parameter file '" << path << "' is a directory\n";
    return 1;
  }
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) {
    errors << "survseq: could not open the parameter file '" << path << "'";
    if (errno != 0) errors << ": " << std::strerror(errno);
    errors << '\n';
    return 1;
  }
  return runDesign(file, console, errors, options, path);
}

}  // namespace survseq::run
