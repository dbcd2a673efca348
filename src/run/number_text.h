#pragma once

// Numbers of the records written for other programs (JSON, the plot's data attributes):
// each float as the shortest decimal that reads back as the same float, so that 0.8f is
// written 0.8 and not 0.800000011920929.

#include <charconv>
#include <cstdlib>
#include <string>

namespace survseq::run {

inline std::string shortestText(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// The double closest to that decimal: what a JSON writer that prints doubles needs.
inline double shortestDouble(float value) {
  return std::strtod(shortestText(value).c_str(), nullptr);
}

}  // namespace survseq::run
