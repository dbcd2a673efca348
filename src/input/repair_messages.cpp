#include "input/repair_messages.h"

#include <ostream>
#include <string>

#include "report/output_line.h"

namespace survseq::input {

void writeTextMessage(std::ostream& console, std::string_view text) {
  report::writePlainLine(console, {text});
}

void writeEqualSpacingMessage(std::ostream& console, int32_t largestCutPoint) {
  report::LaidOutLine()
      .text(" The right cutpoints are equally spaced. The largest cutpoint is set to " +
            std::to_string(largestCutPoint) + ".")
      .writeTo(console);
}

void writeSurvivalRepairMessage(std::ostream& console, float lastCutPoint) {
  report::LaidOutLine()
      .text(" Since your last survival value is <.00001.")
      .endLine()
      .text(" The survival value at ")
      .fixed(lastCutPoint, 9, 3)
      .text(" is set to .00001. Hope this is OK.")
      .writeTo(console);
}

void writeHazardRatioRepairMessage(std::ostream& console, float cutPoint) {
  report::LaidOutLine()
      .text("The hazard ratio on [0,")
      .fixed(cutPoint, 5, 2)
      .text("] is set to 1.")
      .writeTo(console);
}

}  // namespace survseq::input
