#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "run/design_reading.h"
#include "run/design_run.h"

namespace survseq::run {

DesignFormat formatOfName(const std::string& path) {
  return path.ends_with(".toml") ? DesignFormat::Keyed : DesignFormat::Positional;
}

const char* designFileWord(DesignFormat format) {
  return format == DesignFormat::Keyed ? "design file" : "parameter file";
}

bool openDesignFile(const std::string& path, DesignFormat format, std::ifstream& file,
                    std::ostream& errors) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    errors << "survseq: the " << designFileWord(format) << " '" << path << "' is a directory\n";
    return false;
  }
  errno = 0;
  file.open(path, std::ios::binary);
  if (!file.is_open()) {
    errors << "survseq: could not open the " << designFileWord(format) << " '" << path << "'";
    if (errno != 0) errors << ": " << std::strerror(errno);
    errors << '\n';
    return false;
  }
  return true;
}

int runDesignFile(const std::string& path, std::istream& standardInput, std::ostream& console,
                  std::ostream& errors, RunOptions options) {
  if (path == "-") return runDesign(standardInput, console, errors, options);
  if (!options.format) options.format = formatOfName(path);
  options.designFile = path;
  std::ifstream file;
  if (!openDesignFile(path, *options.format, file, errors)) return 1;
  return runDesign(file, console, errors, options, path);
}

}  // namespace survseq::run
