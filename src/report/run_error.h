#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace survseq {

// A condition that ends the run: an unreadable parameter file, a design outside the
// supported limits, or an output file that cannot be written. The entry point reports
// it as one line on standard error and exits with status 1.
class RunError : public std::runtime_error {
 public:
  explicit RunError(const std::string& what, int32_t line = 0)
      : std::runtime_error(what), line_(line) {}

  // Line of the parameter file the problem belongs to; 0 when none applies.
  int32_t line() const { return line_; }

 private:
  int32_t line_;
};

}  // namespace survseq
