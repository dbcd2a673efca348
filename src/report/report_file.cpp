#include "report/report_file.h"

#include "report/run_error.h"

namespace survseq::report {

void ReportFile::open(const std::string& name, int line) {
  name_ = name;
  stream_.open(name, std::ios::out | std::ios::trunc);
  if (!stream_.is_open()) {
    throw RunError("cannot open the output file '" + name + "' for writing", line);
  }
}

void ReportFile::finish() {
  if (!stream_.is_open()) return;
  stream_.flush();
  const bool written = stream_.good();
  stream_.close();
  if (!written || stream_.fail()) {
    throw RunError("could not write the output file '" + name_ + "' (is the disk full?)");
  }
}

}  // namespace survseq::report
