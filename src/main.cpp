// survseq: reads a group-sequential survival design and searches by simulation for the
// accrual rate that gives the desired power. This file reads the command line and turns
// it into the exit status; the work itself is in src/run/. Each subcommand is one
// function that declares its options and returns what runs it.
//
// Exit status: 0 success (and --help, --version, --template); 1 the run failed (one line
// on standard error), an empty design included; 2 the command line is wrong, or no FILE
// is given and standard input is a terminal.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "grid/grid_command.h"
#include "run/design_conversion.h"
#include "run/design_run.h"
#include "run/plan_command.h"
#include "run/program_info.h"

namespace {

namespace run = survseq::run;

constexpr int kUsageError = 2;

// The file behind standard input, which no output may replace when the design is read
// from it.
constexpr const char* kStandardInputFile = "/dev/stdin";

constexpr const char* kUsage =
    "usage: survseq [OPTIONS] [FILE]\n"
    "survseq reads its design from FILE, or from standard input when FILE is missing or\n"
    "'-'; standard input is a terminal here, so there is nothing to read.\n"
    "  survseq --template toml > design.toml   writes a keyed design to edit\n"
    "  survseq design.toml                     runs it\n"
    "  survseq --help                          lists every option\n";

constexpr const char* kExamples =
    "Examples:\n"
    "  survseq --template toml > design.toml\n"
    "  survseq plan design.toml\n"
    "  survseq --json results.json --plot search.svg design.toml\n"
    "  survseq convert design.par > design.toml\n"
    "\n"
    "A FILE ending in .toml is a keyed design, any other a positional parameter file.\n"
    "Repair messages go to standard output, the report to the file the design names,\n"
    "progress to standard error when it is a terminal.";

// Runs one command once the command line is parsed: its exit status, or -1 when the
// command line asked for another command.
using Command = std::function<int()>;

// A check of an option's value whose message is `rule`.
CLI::Validator oneOf(std::vector<std::string> values, std::string rule) {
  return CLI::Validator(
      [values = std::move(values), rule = std::move(rule)](const std::string& text) {
        return std::find(values.begin(), values.end(), text) != values.end() ? std::string()
                                                                             : rule;
      },
      "", "one of");
}

// `survseq convert FILE.par`
Command addConvertCommand(CLI::App& app) {
  CLI::App* convert =
      app.add_subcommand("convert", "write the keyed design of a positional file on stdout");
  auto file = std::make_shared<std::string>();
  convert->add_option("FILE", *file, "the positional parameter file; '-': standard input")
      ->required()
      ->type_name("");
  convert->footer(
      "Examples:\n"
      "  survseq convert design.par > design.toml\n"
      "  survseq convert - < design.par > design.toml\n"
      "\n"
      "What the keyed file cannot hold as the positional run showed it is said on standard\n"
      "error; the keyed file then still gives the positional run's report byte for byte.");
  return [convert, file]() -> int {
    if (!*convert) return -1;
    return run::convertDesignFile(*file, std::cin, std::cout, std::cerr);
  };
}

// `survseq plan FILE`
Command addPlanCommand(CLI::App& app) {
  CLI::App* plan = app.add_subcommand(
      "plan", "print the analytic plan of a design: per statistic and look the expected time\n"
              "and events, the boundaries (also as hazard ratios) and the asymptotic\n"
              "probabilities of rejecting; the expected events, duration and patients at the stop");
  struct Settings {
    std::string file;
    std::string json;
    std::string table;
    std::string format;
  };
  auto s = std::make_shared<Settings>();
  plan->add_option("FILE", s->file, "the design; '-': standard input")->required()->type_name("");
  plan->add_option("--json", s->json, "write the design and the plan as JSON to FILE")
      ->type_name("FILE");
  plan->add_option("--table", s->table, "write the planned table to FILE: .md or .csv")
      ->type_name("FILE");
  plan->add_option("--format", s->format, "toml or par; default: by the FILE's name")
      ->type_name("toml|par")
      ->check(oneOf({"toml", "par"}, "the format must be toml or par"));
  plan->footer(
      "Examples:\n"
      "  survseq plan design.toml\n"
      "  survseq plan --json plan.json design.toml\n"
      "  survseq plan --format toml - < design.toml\n"
      "\n"
      "No trial is simulated and no report is written; repair lines and warnings go to\n"
      "standard error.");
  return [plan, s]() -> int {
    if (!*plan) return -1;
    std::optional<run::DesignFormat> format;
    if (!s->format.empty()) {
      format = s->format == "toml" ? run::DesignFormat::Keyed : run::DesignFormat::Positional;
    }
    return run::runPlanFile(s->file, std::cin, std::cout, std::cerr, s->json, format,
                            kStandardInputFile, s->table);
  };
}

// `survseq [OPTIONS] [FILE]`: runs a design.
Command addRunCommand(CLI::App& app) {
  struct Settings {
    std::string file;
    run::RunOptions options;
    std::string format;
    bool quiet = false;
    bool progress = false;
  };
  auto s = std::make_shared<Settings>();
  app.add_option("FILE", s->file, "the design; '-' or none: standard input")->type_name("");
  app.add_option("--format", s->format,
                 "toml (keyed) or par (positional); default: toml for a FILE ending in .toml")
      ->type_name("toml|par")
      ->check(oneOf({"toml", "par"}, "the format must be toml or par"));
  app.add_option("--threads", s->options.threads, "simulate on N threads (default: every core)")
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
  app.add_flag("--quiet", s->quiet, "no progress and no closing line on standard error");
  app.add_flag("--progress", s->progress, "progress on standard error even when not a terminal");
  app.add_option("--json", s->options.jsonPath, "write every result as JSON to FILE")
      ->type_name("FILE");
  app.add_option("--plot", s->options.plotPath, "draw the search as an SVG picture in FILE")
      ->type_name("FILE");
  app.add_flag("--under-null", s->options.underNull,
               "one more pass at the final rate with the treatment arm drawn from the control "
               "arm's law, everything planned as designed: the simulated type-I error");
  app.add_option("--table", s->options.tablePath,
                 "write the planned table of the last iteration to FILE: .md or .csv")
      ->type_name("FILE");
  return [s]() -> int {
    if (s->file.empty()) {
      if (isatty(STDIN_FILENO)) {
        std::cerr << kUsage;
        return kUsageError;
      }
      s->file = "-";
    }
    if (s->file == "-") s->options.designFile = kStandardInputFile;
    if (s->quiet) {
      s->options.progress = run::ProgressMode::Off;
    } else if (isatty(STDERR_FILENO)) {
      s->options.progress = run::ProgressMode::Live;
    } else if (s->progress) {
      s->options.progress = run::ProgressMode::Lines;
    }
    if (!s->format.empty()) {
      s->options.format =
          s->format == "toml" ? run::DesignFormat::Keyed : run::DesignFormat::Positional;
    }
    return run::runDesignFile(s->file, std::cin, std::cout, std::cerr, s->options);
  };
}

// `survseq --template [toml|par]`
Command addTemplateOption(CLI::App& app) {
  auto format = std::make_shared<std::optional<std::string>>();
  app.add_option("--template", *format,
                 "print an annotated design to edit: positional, or keyed with 'toml'")
      ->expected(0, 1)
      ->type_name("[toml]")
      ->check(oneOf({"toml", "par"}, "the template is toml or par"));
  return [format, &app]() -> int {
    if (app.count("--template") == 0) return -1;
    const bool keyed = format->value_or("") == "toml";
    std::cout << (keyed ? run::keyedTemplate() : run::parameterTemplate()) << std::flush;
    return std::cout ? 0 : 1;
  };
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "Searches by simulation for the accrual rate at which a group-sequential trial with a\n"
      "time-to-event endpoint reaches the desired power.",
      "survseq");
  app.get_formatter()->column_width(22);
  app.set_help_flag("-h,--help", "print this help");
  app.footer(kExamples);
  app.set_version_flag("--version", "survseq " + std::string(run::programVersion()),
                       "print the version");

  // The first command that takes the command line runs; the design run comes last.
  const Command commands[] = {addTemplateOption(app), addConvertCommand(app),
                              addPlanCommand(app), survseq::grid::addGridCommand(app),
                              addRunCommand(app)};

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);  // --help, --version
    std::string what = error.what();
    std::replace(what.begin(), what.end(), '\n', ' ');
    std::cerr << "survseq: " << what << " (see survseq --help)\n";
    return kUsageError;
  }
  for (const Command& command : commands) {
    if (const int status = command(); status >= 0) return status;
  }
  return kUsageError;
}
