#pragma once

// `survseq convert FILE.par`: the keyed design file of a positional parameter file.

#include <iosfwd>
#include <string>

namespace survseq::run {

// Reads the positional file at `path` ("-": `standardInput`) with its repairs (their
// console lines are dropped: the values written are the repaired ones), writes the
// equivalent keyed file to `out`, and says on `errors` what it cannot hold. Returns the
// exit status: 0, or 1 after a one-line error on `errors` (nothing written to `out`).
int convertDesignFile(const std::string& path, std::istream& standardInput, std::ostream& out,
                      std::ostream& errors);

}  // namespace survseq::run
