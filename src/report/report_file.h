#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "report/file_output_buffer.h"

namespace survseq::report {

// The report file named on line 14 of the parameter file, and any other file of results
// the user names. A failed or interrupted run never costs the user an earlier file: the report is written to a temporary file beside the
// name and put in its place only by finish(), so that until then an existing file of
// that name is untouched, and the temporary file goes away on any failure and on SIGINT,
// SIGTERM or SIGHUP; one left by a run killed outright is removed by the next that opens
// the name. A name that is not a plain file (a device such as /dev/null, a
// FIFO, a symbolic link) is opened and written directly instead.
//
// Output is buffered; a failure to write (a full disk, say) ends the run when the file
// is finished, so that a lost report never passes for a successful run.
// Removes the temporary files beside `name` whose process is gone: those a run killed
// outright (SIGKILL, a power cut) had no chance to remove. Only names of the form the
// report file gives its temporary files are touched.
void removeAbandonedTemporaries(const std::string& name) noexcept;

class ReportFile {
 public:
  ReportFile() = default;
  // Abandons a report that was not finished.
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  // Prepares the report under `name`. Throws RunError (with `line`, 0 for none), giving
  // the system's reason, when it cannot be written: an existing file the user may not
  // write is refused, as is a directory that takes no new file. `what` names the file in
  // those messages.
  void open(const std::string& name, int line, std::string_view what = "output file");

  bool isOpen() const { return buffer_.isOpen(); }
  std::ostream& stream() { return stream_; }

  // Writes out and closes the report and puts it in place under its name; throws
  // RunError, leaving any earlier file of that name as it was, when that fails.
  void finish();

  // Ends an unsuccessful run: the temporary file is removed and an existing file of the
  // name stays as it was (a file written directly keeps what reached it).
  void abandon() noexcept;

 private:
  void openDirectly(int line);
  // Creates the temporary file beside the name; `replacing` when a file of the name
  // exists.
  void createTemporary(int line, bool replacing);

  std::string name_;
  std::string what_;
  std::string temporaryName_;  // empty when the report is written directly
  int interruptSlot_ = -1;
  FileOutputBuffer buffer_;
  std::ostream stream_{&buffer_};
};

}  // namespace survseq::report
