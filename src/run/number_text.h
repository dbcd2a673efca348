#pragma once

// Numbers of the records written for other programs (JSON, the plot's data attributes):
// each float as the shortest decimal that reads back as the same float, so that 0.8f is
// written 0.8 and not 0.800000011920929.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "report/message_text.h"

namespace survseq::run {

inline std::string shortestText(float value) { return report::numberText(value); }

// The double closest to that decimal: what a JSON writer that prints doubles needs.
inline double shortestDouble(float value) {
  return std::strtod(shortestText(value).c_str(), nullptr);
}

// A power (a probability) as people read it in a table: four decimals.
inline std::string powerText(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.4f", value);
  return buffer;
}

// A figure worked out in double (the analytic plan's) as the records for other programs
// hold it: the shortest decimal of its single-precision value.
inline double shortestSingle(double value) { return shortestDouble(static_cast<float>(value)); }

}  // namespace survseq::run
