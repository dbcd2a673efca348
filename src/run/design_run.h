#pragma once

// One run of the program, from the parameter file to the report: what the entry point
// and the end-to-end tests call.

#include <cstdint>
#include <iosfwd>

namespace survseq::run {

// How a run is carried out; none of it changes the console or the report.
struct RunOptions {
  // Threads that simulate the trials; 0 = every core the process may use.
  int32_t threads = 0;
};

// Reads the parameter file from `parameters`, writes the repair messages and console
// lines to `console`, searches for the accrual rate and writes the report file named in
// the parameter file. Returns the exit status: 0 on success; 1 after writing the one-line
// error on `errors`.
int runDesign(std::istream& parameters, std::ostream& console, std::ostream& errors,
              const RunOptions& options);

}  // namespace survseq::run
