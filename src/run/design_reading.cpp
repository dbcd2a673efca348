#include "run/design_reading.h"

#include <iterator>
#include <sstream>

#include "input/curve_warnings.h"
#include "input/design_dialect.h"
#include "input/keyed_design_file.h"
#include "input/parameter_file.h"
#include "plan/analytic_rate.h"
#include "plan/effect_direction.h"
#include "report/message_text.h"
#include "report/run_error.h"

namespace survseq::run {

namespace {

// What a search makes of a design: a report (the run) or only the analytic rate (plan).
enum class Use { Run, Plan };

// The whole text, refused when empty or when it is written in the other dialect.
std::string designText(std::istream& in, const DesignSource& source) {
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (input::holdsNothing(text)) throw RunError(source.name + ": empty: there is no design to read");
  if (source.format == DesignFormat::Positional && input::looksLikeKeyedDesign(text)) {
    throw RunError(source.name + ": " + input::kKeyedDesignHint);
  }
  return text;
}

// The key that states the treatment effect, for a message about it.
std::string effectKey(const toml::table& document) {
  for (const char* key : {"alternative.hazard_ratio", "alternative.hazard_ratios"}) {
    if (document.at_path(key)) return key;
  }
  return "alternative";
}

// A search for a rate that no rate can give: refused where the search or the plan needs
// the analytic rate; where the design brings its own bracket the run goes on (its report
// must stay the positional file's) after a warning that says why it cannot succeed.
void checkEffect(const toml::table& document, const DesignSource& source,
                 const input::DesignParameters& design, Use use, std::ostream& warnings) {
  if (plan::hasGivenSize(design)) return;
  const plan::EffectFault fault = plan::effectFault(design);
  if (fault == plan::EffectFault::None) return;
  const std::string where = input::keyedLocation(document, source.name, effectKey(document));
  const std::string text = plan::effectFaultText(fault);
  if (use == Use::Plan || design.accrualForm != input::AccrualForm::Bracket) {
    throw RunError(where + ": " + text);
  }
  report::writeWarning(warnings, where,
                       text + "; the search will end at the upper end of its bracket");
}

toml::table readKeyed(const std::string& text, const DesignSource& source, Use use,
                      std::ostream& warnings, input::DesignParameters& design) {
  std::istringstream in(text);
  toml::table document;
  try {
    document = input::parseKeyedDesign(in, source.name);
  } catch (const RunError&) {
    if (input::looksLikeParameterFile(text)) {
      throw RunError(source.name + ": " + input::kParameterFileHint);
    }
    throw;
  }
  input::readKeyedDesign(document, source.name, design);
  input::warnOfSteepControlIntervals(
      design, warnings, input::keyedLocation(document, source.name, "baseline_survival"));
  input::warnOfEffectEndingEarly(
      design, warnings, input::keyedLocation(document, source.name, "alternative.interval_ends"));
  checkEffect(document, source, design, use, warnings);
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
  const std::string whole = designText(text, source);
  if (source.format == DesignFormat::Positional) {
    std::istringstream in(whole);
    input::readParameterFile(in, console, warnings, design, openReport);
    return;
  }
  const toml::table document = readKeyed(whole, source, Use::Run, warnings, design);
  try {
    openReport(design.outputFileName, 0);
  } catch (const RunError& error) {
    throw RunError(input::keyedLocation(document, source.name, "report_file") + ": " +
                   error.what());
  }
}

void readDesignWithoutReport(std::istream& text, const DesignSource& source,
                             std::ostream& warnings, input::DesignParameters& design) {
  const std::string whole = designText(text, source);
  if (source.format == DesignFormat::Positional) {
    std::istringstream in(whole);
    input::readParameterFile(in, warnings, warnings, design, [](const std::string&, int32_t) {});
    return;
  }
  readKeyed(whole, source, Use::Plan, warnings, design);
}

}  // namespace survseq::run
