#pragma once

#include <fstream>
#include <string>

namespace survseq::report {

// The report file named on line 14 of the parameter file. Output is buffered; any
// failure to write it (a full disk, say) is turned into a RunError when the file is
// finished, so that a lost report never passes for a successful run.
class ReportFile {
 public:
  // Creates the file, or empties an existing one. Throws RunError (with `line`) when
  // it cannot be opened.
  void open(const std::string& name, int line);

  bool isOpen() const { return stream_.is_open(); }
  std::ostream& stream() { return stream_; }

  // Flushes the buffer and closes the file; throws RunError when anything written
  // has not reached it.
  void finish();

 private:
  std::string name_;
  std::ofstream stream_;
};

}  // namespace survseq::report
