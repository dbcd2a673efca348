// survseq: reads a group-sequential survival design and searches by simulation for the
// accrual rate that gives the desired power. This file reads the command line and turns
// it into the exit status; the run itself is in src/run/.
//
// Exit status: 0 success (and --help, --version, --template); 1 the run failed (one line
// on standard error); 2 the command line is wrong, or there is no parameter file to read.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <iostream>
#include <string>

#include "run/design_run.h"
#include "run/plan_command.h"
#include "run/program_info.h"

namespace {

constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "usage: survseq [OPTIONS] [FILE]\n"
    "survseq reads its parameter file from FILE, or from standard input when FILE is\n"
    "missing or '-'; standard input is a terminal here, so there is nothing to read.\n"
    "  survseq --template > design.par   writes a parameter file to edit\n"
    "  survseq design.par                runs it\n"
    "  survseq --help                    lists every option\n";

constexpr const char* kExamples =
    "Examples:\n"
    "  survseq --template > design.par\n"
    "  survseq --json results.json --plot search.svg design.par\n"
    "  survseq plan design.par            the analytic plan, without simulation\n"
    "\n"
    "Repair messages go to standard output, the report to the file named on line 14 of\n"
    "the parameter file, progress to standard error when it is a terminal.";

}  // namespace

int main(int argc, char** argv) {
  namespace run = survseq::run;
  CLI::App app(
      "Searches by simulation for the accrual rate at which a group-sequential trial with a\n"
      "time-to-event endpoint reaches the desired power.",
      "survseq");
  app.get_formatter()->column_width(18);
  app.set_help_flag("-h,--help", "print this help");
  app.footer(kExamples);

  std::string file;
  run::RunOptions options;
  bool quiet = false;
  bool progress = false;
  bool showTemplate = false;
  app.add_option("FILE", file, "the parameter file; '-' or none: standard input")->type_name("");
  app.add_option("--threads", options.threads, "simulate on N threads (default: every core)")
      ->type_name("N")
      ->check(CLI::Validator(
          [](const std::string& text) {
            int value = 0;
            const auto [end, fault] =
                std::from_chars(text.data(), text.data() + text.size(), value);
            const bool whole = fault == std::errc() && end == text.data() + text.size();
            return whole && value >= 1 ? std::string() : "N must be a whole number, 1 or more";
          },
          "", "at least one"));
  app.add_flag("--quiet", quiet, "no progress and no closing line on standard error");
  app.add_flag("--progress", progress, "progress on standard error even when not a terminal");
  app.add_option("--json", options.jsonPath, "write every result as JSON to FILE")
      ->type_name("FILE");
  app.add_option("--plot", options.plotPath, "draw the search as an SVG picture in FILE")
      ->type_name("FILE");
  app.add_flag("--template", showTemplate, "print an annotated parameter file to edit");
  app.set_version_flag("--version", "survseq " + std::string(run::programVersion()),
                       "print the version");

  CLI::App* plan = app.add_subcommand(
      "plan", "print the analytic plan of a design: per statistic and look the expected time\n"
              "and events, the boundaries and the asymptotic probabilities of rejecting");
  std::string planFile;
  std::string planJson;
  plan->add_option("FILE", planFile, "the design file; '-': standard input")
      ->type_name("")
      ->required();
  plan->add_option("--json", planJson, "write the design and the plan as JSON to FILE")
      ->type_name("FILE");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);  // --help, --version
    std::string what = error.what();
    std::replace(what.begin(), what.end(), '\n', ' ');
    std::cerr << "survseq: " << what << " (see survseq --help)\n";
    return kUsageError;
  }

  if (plan->parsed()) return run::runPlanFile(planFile, std::cin, std::cout, std::cerr, planJson);
  if (showTemplate) {
    std::cout << run::parameterTemplate() << std::flush;
    return std::cout ? 0 : 1;
  }
  if (file.empty()) {
    if (isatty(STDIN_FILENO)) {
      std::cerr << kUsage;
      return kUsageError;
    }
    file = "-";
  }
  if (quiet) {
    options.progress = run::ProgressMode::Off;
  } else if (isatty(STDERR_FILENO)) {
    options.progress = run::ProgressMode::Live;
  } else if (progress) {
    options.progress = run::ProgressMode::Lines;
  }
  return run::runDesignFile(file, std::cin, std::cout, std::cerr, options);
}
