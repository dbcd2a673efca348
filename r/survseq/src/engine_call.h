#pragma once

// Calls into the engine from R: a fault of the engine (a RunError naming the key, too
// little memory) becomes the R condition "survseq_error", and an interrupt seen while the
// engine ran becomes R's "interrupt" condition, after the engine has unwound and stopped
// its threads. cpp11's own unwinding (an R error inside an R call the engine made) passes
// through untouched.

#include <cpp11.hpp>

#include <new>

#include <string>

#include "report/run_error.h"

namespace survseq::r {

// Thrown by the progress observer when R has an interrupt pending.
struct RunInterrupted {};

// Raises the R condition for `message` ("survseq: " is put before it, and the place in a
// design that R wrote is taken out).
[[noreturn]] void raiseEngineError(const std::string& message);
[[noreturn]] void raiseInterrupt();

// Runs `body`, turning the engine's faults into R conditions.
template <typename Body>
auto engineCall(Body body) -> decltype(body()) {
  std::string failure;
  bool interrupted = false;
  try {
    return body();
  } catch (const RunInterrupted&) {
    interrupted = true;
  } catch (const RunError& error) {
    failure = error.line() > 0 ? "line " + std::to_string(error.line()) + ": " + error.what()
                               : error.what();
  } catch (const std::bad_alloc&) {
    failure = "not enough memory for the simulated trials";
  }
  // The engine's objects are gone by now; the R calls below may jump.
  if (interrupted) raiseInterrupt();
  raiseEngineError(failure);
}

}  // namespace survseq::r
