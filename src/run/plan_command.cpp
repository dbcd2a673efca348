#include "run/plan_command.h"

#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "input/design_parameters.h"
#include "plan/analytic_rate.h"
#include "report/file_roles.h"
#include "report/run_error.h"
#include "run/design_reading.h"
#include "run/json_design.h"
#include "run/json_results.h"
#include "run/output_file.h"
#include "run/plan_views.h"
#include "run/program_info.h"

namespace survseq::run {

namespace {

int plan(std::istream& in, const DesignSource& source, std::ostream& console,
         std::ostream& errors, const std::string& jsonPath, const std::string& designFile) {
  try {
    OutputFile jsonFile(jsonPath, "JSON file");
    if (!jsonPath.empty()) {
      report::FileRoles files;
      if (!designFile.empty()) {
        const bool standardInput = source.name == "<stdin>";
        files.input(designFile, standardInput ? "design read from standard input" : "design file",
                    standardInput ? "-" : source.name);
      }
      files.output(jsonPath, "JSON file");
      jsonFile.create();
    }
    input::DesignParameters design;
    readDesignWithoutReport(in, source, errors, design);
    const plan::AnalyticPlan analytic = plan::planOfDesign(design);
    const PlanBasis basis = plan::hasGivenSize(design) ? PlanBasis::GivenSize
                                                       : PlanBasis::DesiredPower;
    console << planText(design, analytic, basis) << std::flush;
    if (!console) throw RunError("could not write to standard output");
    if (!jsonPath.empty()) {
      const nlohmann::ordered_json document = {
          {"schema_version", kResultsSchemaVersion},
          {"program", {{"name", "survseq"}, {"version", programVersion()}}},
          {"design", designJson(design)},
          {"plan", planJson(analytic, basis)}};
      const auto replaceInvalid = nlohmann::ordered_json::error_handler_t::replace;
      jsonFile.write(document.dump(2, ' ', false, replaceInvalid) + '\n');
    }
  } catch (const RunError& error) {
    errors << "survseq: ";
    if (error.line() > 0) errors << "line " << error.line() << ": ";
    errors << error.what() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

int runPlanFile(const std::string& path, std::istream& standardInput, std::ostream& console,
                std::ostream& errors, const std::string& jsonPath,
                std::optional<DesignFormat> format, const std::string& standardInputFile) {
  if (path == "-") {
    const DesignSource source{format.value_or(DesignFormat::Positional), "<stdin>", ""};
    return plan(standardInput, source, console, errors, jsonPath, standardInputFile);
  }
  const DesignFormat fileFormat = format.value_or(formatOfName(path));
  std::ifstream file;
  if (!openDesignFile(path, fileFormat, file, errors)) return 1;
  return plan(file, DesignSource{fileFormat, path, ""}, console, errors, jsonPath, path);
}

}  // namespace survseq::run
