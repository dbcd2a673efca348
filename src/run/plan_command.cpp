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
#include "run/protocol_table_files.h"
#include "run/program_info.h"

namespace survseq::run {

namespace {

int plan(std::istream& in, const DesignSource& source, std::ostream& console,
         std::ostream& errors, const std::string& jsonPath, const std::string& designFile,
         const std::string& tablePath) {
  try {
    OutputFile jsonFile(jsonPath, "JSON file");
    OutputFile tableFile(tablePath, "table file");
    const TableFormat tableFormat =
        tablePath.empty() ? TableFormat::Markdown : tableFormatOfName(tablePath);
    if (!jsonPath.empty() || !tablePath.empty()) {
      report::FileRoles files;
      if (!designFile.empty()) {
        const bool standardInput = source.name == "<stdin>";
        files.input(designFile, standardInput ? "design read from standard input" : "design file",
                    standardInput ? "-" : source.name);
      }
      if (!jsonPath.empty()) files.output(jsonPath, "JSON file");
      if (!tablePath.empty()) files.output(tablePath, "table file");
      if (!jsonPath.empty()) jsonFile.create();
      if (!tablePath.empty()) tableFile.create();
    }
    input::DesignParameters design;
    readDesignWithoutReport(in, source, errors, design);
    const plan::AnalyticPlan analytic = plan::planOfDesign(design);
    const PlanBasis basis = plan::hasGivenSize(design) ? PlanBasis::GivenSize
                                                       : PlanBasis::DesiredPower;
    const ProtocolTable protocol = protocolTableOfPlan(design, analytic);
    console << planText(design, analytic, basis, protocol) << std::flush;
    if (!console) throw RunError("could not write to standard output");
    if (!jsonPath.empty()) {
      const nlohmann::ordered_json document = {
          {"schema_version", kResultsSchemaVersion},
          {"program", {{"name", "survseq"}, {"version", programVersion()}}},
          {"design", designJson(design)},
          {"plan", planJson(design, analytic, basis, protocol)}};
      const auto replaceInvalid = nlohmann::ordered_json::error_handler_t::replace;
      jsonFile.write(document.dump(2, ' ', false, replaceInvalid) + '\n');
    }
    if (!tablePath.empty()) {
      tableFile.write(tableFormat == TableFormat::Csv ? protocolTableCsv(protocol)
                                                      : protocolTableMarkdown(protocol));
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
                std::optional<DesignFormat> format, const std::string& standardInputFile,
                const std::string& tablePath) {
  if (path == "-") {
    const DesignSource source{format.value_or(DesignFormat::Positional), "<stdin>", ""};
    return plan(standardInput, source, console, errors, jsonPath, standardInputFile, tablePath);
  }
  const DesignFormat fileFormat = format.value_or(formatOfName(path));
  std::ifstream file;
  if (!openDesignFile(path, fileFormat, file, errors)) return 1;
  return plan(file, DesignSource{fileFormat, path, ""}, console, errors, jsonPath, path,
              tablePath);
}

}  // namespace survseq::run
