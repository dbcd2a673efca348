#pragma once

// The pieces of the one-line messages on standard error: values shown in them, and the
// warnings that, unlike errors, let the run go on.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace survseq::report {

// Longest text an echoed value takes in a message, a cut included.
inline constexpr size_t kEchoedValueLength = 40;

// A value from the parameter file as a message shows it, so that a pasted binary or a
// number of a hundred thousand digits still gives one readable line: control bytes and
// bytes that are not part of well-formed UTF-8 appear as \xNN, and a text longer than
// kEchoedValueLength characters is cut, the cut marked by "...".
std::string echoedValue(std::string_view text);

// The shortest text that reads back as the same float.
std::string numberText(float value);

// One line "survseq: warning: line N: <text>".
void writeWarning(std::ostream& warnings, int32_t line, std::string_view text);
// One line "survseq: warning: <where>: <text>", `where` e.g. "design.toml:7:1: seed".
void writeWarning(std::ostream& warnings, std::string_view where, std::string_view text);

}  // namespace survseq::report
