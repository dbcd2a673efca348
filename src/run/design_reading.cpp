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
  input::warnOfSteepControlIntervals(
      design, warnings, input::keyedLocation(document, source.name, "baseline_survival"));
  return document;
}

}  // namespace

void readDesign(std::istream& text, const DesignSource& source, std::ostream& console,
                std::ostream& warnings, input::DesignParameters& design,
                report::ReportFile& reportFile, report::FileRoles& files,
                const std::function<void()>& createOutputs) {
  const auto openReport = [&](const std::string& name, int32_t line) {
    const std::string& path = source.reportPath.empty() ? name : source.reportPath;
    try {
      files.output(path, "report file");
    } catch (const RunError& error) {
      throw RunError(error.what(), line);
    }
    createOutputs();
    reportFile.open(path, line);
  };
  if (source.format == DesignFormat::Positional) {
    input::readParameterFile(text, console, warnings, design, openReport);
    return;
  }
  const toml::table document = readKeyed(text, source, warnings, design);
  try {
    openReport(design.outputFileName, 0);
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
