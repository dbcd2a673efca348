#pragma once

// A file the user named on the command line for a view of the results (the JSON file,
// the plot). It is created when the run starts, so that a path that cannot be written
// fails at once and not after the whole search, and removed again when the run ends
// before its text is written (a partly written file is removed too).

#include <fstream>
#include <string>

namespace survseq::run {

class OutputFile {
 public:
  // `what` names the file in error messages: "JSON file", "plot".
  OutputFile(std::string path, std::string what);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Creates the file, or empties an existing one; throws RunError when it cannot.
  void create();

  // Writes `text` and closes the file; throws RunError when not all of it got there.
  void write(const std::string& text);

 private:
  std::string path_;
  std::string what_;
  std::ofstream stream_;
  bool created_ = false;
  bool written_ = false;
};

}  // namespace survseq::run
