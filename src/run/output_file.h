#pragma once

// A file the user named on the command line for a view of the results (the JSON file,
// the plot). It is prepared when the run starts, so that a path that cannot be written
// fails at once and not after the whole search, and, like the report, it takes the place
// of an earlier file of that name only when its text has been written in full: a failed
// run leaves yesterday's results as they were.

#include <string>

#include "report/report_file.h"

namespace survseq::run {

class OutputFile {
 public:
  // `what` names the file in error messages: "JSON file", "plot".
  OutputFile(std::string path, std::string what)
      : path_(std::move(path)), what_(std::move(what)) {}

  // Throws RunError when the file cannot be written.
  void create() { file_.open(path_, 0, what_); }

  // Writes `text` and puts the file in place; throws RunError when not all of it got there.
  void write(const std::string& text) {
    file_.stream() << text;
    file_.finish();
  }

 private:
  std::string path_;
  std::string what_;
  report::ReportFile file_;  // abandoned, if never finished, when the run ends
};

}  // namespace survseq::run
