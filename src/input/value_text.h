#pragma once

// Turning the text of one value of the parameter file into a number: whole numbers
// for the counts and codes, reals for everything else; and a real back into text for
// the messages that quote it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace survseq::input {

// The outcome of reading one value: the number, or what is wrong with the text.
template <typename Number>
struct ParsedValue {
  std::optional<Number> value;
  std::string problem;
};

// An optional sign followed by decimal digits, within the 32-bit range.
ParsedValue<int32_t> parseWholeNumber(std::string_view text);

// An optional sign, decimal digits with or without a decimal point, and an optional
// exponent introduced by E, e, D or d (10, 10.0, 1E1, .1E2 and 1D1 are one value).
// The decimal value is read in double precision and rounded once to single
// precision, so "0.1" gives the float nearest to 0.1.
ParsedValue<float> parseReal(std::string_view text);


}  // namespace survseq::input
