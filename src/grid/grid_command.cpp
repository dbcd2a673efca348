#include "grid/grid_command.h"

#include <unistd.h>

#include <charconv>
#include <iostream>
#include <memory>

#include "grid/grid_run.h"

namespace survseq::grid {

namespace {

// "I/N" with 0 <= I < N: the shard's index and the number of shards.
bool readShard(const std::string& text, int32_t& index, int32_t& count) {
  const size_t slash = text.find('/');
  if (slash == std::string::npos) return false;
  const auto whole = [](const char* first, const char* last, int32_t& value) {
    const auto [end, fault] = std::from_chars(first, last, value);
    return fault == std::errc() && end == last;
  };
  return whole(text.data(), text.data() + slash, index) &&
         whole(text.data() + slash + 1, text.data() + text.size(), count) && count >= 1 &&
         index >= 0 && index < count;
}

}  // namespace

std::function<int()> addGridCommand(CLI::App& app) {
  struct Settings {
    GridOptions options;
    std::string shard;
    bool quiet = false;
    bool progress = false;
  };
  auto s = std::make_shared<Settings>();
  CLI::App* command = app.add_subcommand(
      "grid", "run every scenario of a grid file into a folder, with a results table");
  command->add_option("GRID", s->options.gridPath, "the grid file (TOML)")
      ->type_name("")
      ->required();
  auto* out = command
                  ->add_option("--out", s->options.outDir,
                               "write the scenario folders, the table and the picture in DIR")
                  ->type_name("DIR");
  auto* merge = command
                    ->add_option("--merge", s->options.mergeDir,
                                 "only write the table and the picture from the scenario "
                                 "folders in DIR")
                    ->type_name("DIR");
  out->excludes(merge);
  command
      ->add_option("--shard", s->shard,
                   "run only the scenarios whose number is I modulo N "
                   "(0 <= I < N); no table")
      ->type_name("I/N")
      ->needs(out)
      ->check(CLI::Validator(
          [](const std::string& text) {
            int32_t index = 0, count = 0;
            return readShard(text, index, count) ? std::string()
                                                 : "I/N needs whole numbers with 0 <= I < N";
          },
          "", "shard"));
  command
      ->add_option("--threads", s->options.threads,
                   "simulate each scenario on N threads "
                   "(default 1), as many scenarios at once as the cores allow")
      ->type_name("N")
      ->check(CLI::PositiveNumber);
  command->add_flag("--quiet", s->quiet, "no line per scenario on standard error");
  command->add_flag("--progress", s->progress,
                    "a line per scenario even when standard error is not a terminal");
  command->footer(
      "Examples:\n"
      "  survseq grid examples/grid.toml --out results\n"
      "      every scenario, then results/results.csv and results/grid.svg\n"
      "  survseq grid grid.toml --out results --shard 0/4\n"
      "      the first of four shards (one per machine), no table\n"
      "  survseq grid grid.toml --merge results\n"
      "      the table and the picture from the folders the shards wrote");
  command->callback([out, merge] {
    if (out->count() == 0 && merge->count() == 0) {
      throw CLI::ValidationError("grid", "needs --out DIR or --merge DIR");
    }
  });
  return [command, s]() -> int {
    if (!*command) return -1;
    if (!s->shard.empty()) readShard(s->shard, s->options.shardIndex, s->options.shardCount);
    s->options.progress = !s->quiet && (s->progress || isatty(STDERR_FILENO));
    return runGrid(s->options, std::cerr);
  };
}

}  // namespace survseq::grid
