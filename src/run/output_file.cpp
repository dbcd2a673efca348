#include "run/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "report/run_error.h"

namespace survseq::run {

OutputFile::OutputFile(std::string path, std::string what)
    : path_(std::move(path)), what_(std::move(what)) {}

OutputFile::~OutputFile() {
  if (!created_ || written_) return;
  stream_.close();
  // Only a plain file: the path may well be /dev/null or a pipe.
  std::error_code ignored;
  if (std::filesystem::is_regular_file(path_, ignored)) std::filesystem::remove(path_, ignored);
}

void OutputFile::create() {
  errno = 0;
  stream_.open(path_, std::ios::binary | std::ios::trunc);
  if (!stream_.is_open()) {
    const std::string reason = errno != 0 ? std::string(": ") + std::strerror(errno) : "";
    throw RunError("could not create the " + what_ + " '" + path_ + "'" + reason);
  }
  created_ = true;
}

void OutputFile::write(const std::string& text) {
  stream_ << text;
  stream_.close();
  if (!stream_) throw RunError("could not write the " + what_ + " '" + path_ + "'");
  written_ = true;
}

}  // namespace survseq::run
