#include "engine_call.h"

namespace survseq::r {

void raiseEngineError(const std::string& message) {
  cpp11::package("survseq")["signal_engine_error"](message);
  cpp11::stop("survseq: %s", message.c_str());  // not reached: the R function signals
}

void raiseInterrupt() {
  cpp11::package("survseq")["signal_interrupt"]();
  cpp11::stop("survseq: interrupted");  // not reached: the R function jumps
}

}  // namespace survseq::r
