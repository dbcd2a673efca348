#pragma once

// One run of the program, from the parameter file to the report: what the entry point
// and the end-to-end tests call.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace survseq::run {

// How the progress of the search is shown on the error stream.
enum class ProgressMode {
  Off,
  Lines,  // one line per finished iteration and the closing line (a file or a pipe)
  Live,   // the line of the running iteration is redrawn in place (a terminal)
};

// The two ways to write a design: the keyed (TOML) design file and the 152-line
// positional parameter file.
enum class DesignFormat { Positional, Keyed };

// The format a design file's name implies: keyed for a name ending in ".toml".
DesignFormat formatOfName(const std::string& path);

// How a run is carried out; none of it changes the console or the report.
struct RunOptions {
  // How the design is written; none: by the file's name (runDesignFile), and positional
  // for standard input.
  std::optional<DesignFormat> format;
  // Threads that simulate the trials; 0 = every core the process may use.
  int32_t threads = 0;
  ProgressMode progress = ProgressMode::Off;
  std::string jsonPath;  // the results as JSON; empty for none
  std::string plotPath;  // the search as an SVG picture; empty for none
  // The planned table of the last iteration, Markdown (.md) or CSV (.csv); empty for none.
  std::string tablePath;
  // Where the report goes instead of the name the design gives; empty for that name.
  // The report's text, which shows the design's name, stays the same.
  std::string reportPath;
  // After the search (or at the given size) one more pass at the final rate whose trials
  // draw the treatment arm from the control arm's law: the simulated type-I error.
  bool underNull = false;
  // The file the design is read from, which no output may be: runDesignFile sets its
  // path; for standard input the command line names the file behind it, "/dev/stdin".
  // Empty: none to keep apart.
  std::string designFile;
};

// Reads the parameter file from `parameters`, writes the repair messages and console
// lines to `console`, searches for the accrual rate and writes the report file named in
// the parameter file, which replaces a file of that name only when the run succeeds, and
// the JSON file and plot the options ask for. Warnings and progress go to `errors` and let
// the run go on. Returns the exit status: 0 on success; 1 after writing the one-line error
// on `errors`, among them for an output that is the design file or another output, when
// nothing is written.
// `designName` names the design in the errors of a keyed file.
int runDesign(std::istream& parameters, std::ostream& console, std::ostream& errors,
              const RunOptions& options, const std::string& designName = "<stdin>");

// As runDesign, with the parameter file read from `path`, or from `standardInput` when
// `path` is "-". A file that cannot be opened is an error of the run (status 1).
int runDesignFile(const std::string& path, std::istream& standardInput, std::ostream& console,
                  std::ostream& errors, RunOptions options);

}  // namespace survseq::run
