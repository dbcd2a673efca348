#include "run/design_reading.h"

#include "input/curve_warnings.h"
#include "input/keyed_design_file.h"
#include "input/parameter_file.h"
#include "report/run_error.h"

namespace survseq::run {

namespace {

toml::table readKeyed(std::istream& text, const DesignSource& source, std::ostream& warnings,
                      input::DesignParameters& design) {
  toml::table document = input::parseKeyedDesign(text, source.name);
  input::readKeyedDesign(document, source.name, design);
  // The trials do not test the combination yet: refused rather than silently ignored.
  if (input::usesCombination(design)) {
    throw RunError(input::keyedLocation(document, source.name, "combination") +
                   ": the trials of this build cannot test a combination yet");
  }
  input::warnOfSteepControlIntervals(
      design, warnings, input::keyedLocation(document, source.name, "baseline_survival"));
  return document;
}

}  // namespace

void readDesign(std::istream& text, const DesignSource& source, std::ostream& console,
                std::ostream& warnings, input::DesignParameters& design,
                report::ReportFile& reportFile) {
  if (source.format == DesignFormat::Positional) {
    input::readParameterFile(text, console, warnings, design,
                             [&](const std::string& name, int32_t line) {
                               reportFile.open(source.reportPath.empty() ? name : source.reportPath,
                                               line);
                             });
    return;
  }
  const toml::table document = readKeyed(text, source, warnings, design);
  try {
    reportFile.open(source.reportPath.empty() ? design.outputFileName : source.reportPath, 0);
  } catch (const RunError& error) {
    throw RunError(input::keyedLocation(document, source.name, "report_file") + ": " +
                   error.what());
  }
}

void readDesignWithoutReport(std::istream& text, const DesignSource& source,
                             std::ostream& warnings, input::DesignParameters& design) {
  if (source.format == DesignFormat::Positional) {
    input::readParameterFile(text, warnings, warnings, design,
                             [](const std::string&, int32_t) {});
    return;
  }
  readKeyed(text, source, warnings, design);
}

}  // namespace survseq::run
