// The grid: its values as text, the grids refused before anything runs (naming scenarios in
// their order), and the program's runs of a grid in one process, in shards and after being
// killed, which must leave the same folders and table byte for byte, each scenario's as if
// run alone; folders of another grid and a failing scenario stop it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "grid/grid_file.h"
#include "grid/grid_plot.h"
#include "grid/scenarios.h"
#include "report/run_error.h"
#include "search/program_runner.h"

namespace survseq::grid {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBase = R"(report_file = "scenario.out"
seed = 4711
analysis_times = [12.0, 24.0]
simulations_per_iteration = 300
accrual.period = 12.0
accrual.rate_lower = 2.0
accrual.rate_upper = 80.0
baseline_survival.median = 9.0
alternative.hazard_ratio = 0.6
)";

// A new folder holding `grid` as grid.toml beside kBase as base.toml, removed at the end.
struct GridFolder {
  explicit GridFolder(const std::string& grid) : path(testing::freshDirectory("grid")) {
    testing::writeFile(path / "base.toml", kBase);
    testing::writeFile(path / "grid.toml", grid);
  }
  ~GridFolder() { fs::remove_all(path); }
  const fs::path path;
};

std::map<std::string, std::string> tree(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), folder)] = testing::readFile(entry);
  return files;
}

// Runs `survseq ARGUMENTS` in `folder`; returns the exit status, standard error in `errors`.
int run(const fs::path& folder, const std::string& arguments, std::string* errors = nullptr) {
  const std::string command = "cd '" + folder.string() + "' && '" SURVSEQ_BINARY "' " +
                              arguments + " </dev/null >/dev/null 2>errors.txt";
  const int status = std::system(command.c_str());
  if (errors != nullptr) *errors = testing::readFile(folder / "errors.txt");
  fs::remove(folder / "errors.txt");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(GridTest, ValuesAreWrittenAsAPersonWritesThem) {
  for (const std::string text : {"0.1", "12.0", "0.025", "1e-10", "123456789.123", "7", "'name'",
                                 "[0.7, 2, [1.5]]", "{ 'a b' = 1, rates = [0.1], times = [12.0] }"})
    EXPECT_EQ(valueText(*toml::parse("x = " + text).get("x")), text);
}

TEST(GridTest, BadGridsAndBadScenariosAreRefusedNamingThem) {
  const std::pair<const char*, std::vector<const char*>> cases[] = {
      {"[axes]\nseed = [1]\n", {"grid.toml: base: missing"}},
      {"base = 3\n[axes]\nseed = [1]\n", {"grid.toml:1:8: base: must be"}},
      {"base = \"base.toml\"\n", {"axes: missing"}},
      {"base = \"base.toml\"\nbases = 1\n[axes]\nseed = [1]\n", {"bases: unknown key"}},
      {"base = \"base.toml\"\n[axes]\nseed = 5\n", {"grid.toml:3:8: axes.seed: must be an array"}},
      {"base = \"base.toml\"\n[axes]\nseed = []\n", {"axes.seed: must hold at least one value"}},
      {"base = \"absent.toml\"\n[axes]\nseed = [1]\n", {"could not open the base design file"}},
      {"base = \"base.toml\"\n[axes]\n\"seed.x\" = [1]\n", {"'seed' is not a table"}},
      {"base = \"base.toml\"\n[axes]\nseed = [1, 2]\n\"alternative.hazard_ratio\" = [0.7, -1.0]\n",
       {"scenario 2 of 4 (seed = 1, alternative.hazard_ratio = -1.0): ", "hazard_ratio"}},
      {"base = \"base.toml\"\n[axes]\n\"alternative.hazard_rate\" = [0.7]\n",
       {"scenario 1 of 1 (alternative.hazard_rate = 0.7): ",
        "grid.toml:3:30: alternative.hazard_rate: unknown key"}},
      {"base = \"base.toml\"\n[axes]\nseed = [1 2]\n", {"grid.toml:3:"}}};
  for (const auto& [text, said] : cases) {
    const GridFolder folder(text);
    try {
      checkScenarios(readGridFile((folder.path / "grid.toml").string()),
                     [](int32_t, const input::DesignParameters&) {});
      ADD_FAILURE() << "accepted: " << text;
    } catch (const RunError& error) {
      for (const char* part : said)
        EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what() << part;
    }
  }
}

TEST(GridTest, RunsInShardsAndAfterAKillGiveTheOneProcessFoldersAndTable) {
  const GridFolder scratch("base = \"base.toml\"\n[axes]\n\"alternative.hazard_ratio\" = "
                           "[0.6, 0.7]\n\"baseline_survival.median\" = [9.0, 12.0, 15.0]\n");
  const fs::path& folder = scratch.path;
  ASSERT_EQ(run(folder, "grid grid.toml --out whole --quiet"), 0);
  const auto whole = tree(folder / "whole");
  // Six files per scenario, the table, the picture and the lock file.
  EXPECT_EQ(whole.size(), 6u * 6u + 3u);

  // Killed when its first scenario is in place, with the others not finished.
  const std::string grid = (folder / "grid.toml").string(), out = (folder / "killed").string();
  const pid_t pid = fork();
  if (pid == 0) {
    execl(SURVSEQ_BINARY, SURVSEQ_BINARY, "grid", grid.c_str(), "--out", out.c_str(), "--quiet",
          nullptr);
    _exit(127);
  }
  const auto finished = [&] {
    int count = 0;
    for (int n = 1; n <= 6; ++n) count += fs::exists(out + "/scenario-000" + std::to_string(n));
    return count;
  };
  while (finished() == 0 && ::waitpid(pid, nullptr, WNOHANG) == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  ASSERT_GE(finished(), 1);
  ASSERT_LT(finished(), 6) << "the run ended before it could be killed";
  ASSERT_EQ(run(folder, "grid grid.toml --out killed --quiet"), 0);
  EXPECT_EQ(tree(folder / "killed"), whole);  // no partial folder left

  for (const char* shard : {"0/4", "1/4", "3/4"})
    ASSERT_EQ(run(folder, "grid grid.toml --out parts --quiet --shard " + std::string(shard)), 0);
  EXPECT_FALSE(fs::exists(folder / "parts/results.csv"));  // a shard writes no table
  std::string errors;
  EXPECT_EQ(run(folder, "grid grid.toml --merge parts", &errors), 1);
  EXPECT_NE(errors.find("2 of 6 scenarios are not finished: scenario-0002, scenario-0006"),
            std::string::npos) << errors;
  ASSERT_EQ(run(folder, "grid grid.toml --out parts --shard 2/4 --threads 2 --progress", &errors), 0);
  // Each scenario's progress line gives the power to four decimals.
  const size_t power = errors.find(", power 0.");
  ASSERT_NE(power, std::string::npos) << errors;
  const std::string decimals = errors.substr(power + 10, 6);
  EXPECT_EQ(decimals.find_first_not_of("0123456789"), 4u) << errors;
  EXPECT_EQ(decimals.substr(4), ", ") << errors;
  ASSERT_EQ(run(folder, "grid grid.toml --merge parts"), 0);
  EXPECT_EQ(tree(folder / "parts"), whole);
  // The table and the picture are reviewed goldens (SURVSEQ_UPDATE_GOLDEN=1 rewrites them).
  for (const char* name : {"results.csv", "grid.svg"}) {
    const fs::path golden = fs::path(SURVSEQ_SOURCE_DIR) / "tests/grid/golden" / name;
    if (std::getenv("SURVSEQ_UPDATE_GOLDEN") != nullptr) testing::writeFile(golden, whole.at(name));
    EXPECT_EQ(whole.at(name), testing::readFile(golden)) << name;
  }

  // A scenario's report is that of the base design edited by hand and run alone, and its
  // row holds the outcome of its JSON results.
  std::string edited = kBase;
  edited.replace(edited.find("median = 9.0"), 12, "median = 12.0");
  edited.replace(edited.find("hazard_ratio = 0.6"), 18, "hazard_ratio = 0.7");
  testing::writeFile(folder / "alone.toml", edited);
  ASSERT_EQ(run(folder, "--quiet alone.toml"), 0);
  EXPECT_EQ(testing::readFile(folder / "scenario.out"), whole.at("scenario-0005/scenario.out"));
  const auto outcome = nlohmann::json::parse(whole.at("scenario-0005/results.json"))["outcome"];
  std::string row = "\n5,0.7,12.0," + outcome.at("kind").get<std::string>();
  for (const char* key : {"accrual_rate", "patients", "analytic_accrual_rate", "analytic_power",
                          "power", "standard_error"}) {
    const std::string name = key;
    if (name != "power" && name != "analytic_power") {
      row += "," + outcome.at(key).dump();
      continue;
    }
    char fourDecimals[32];  // powers stand in the table to four decimals
    std::snprintf(fourDecimals, sizeof fourDecimals, "%.4f", outcome.at(key).get<double>());
    row += std::string(",") + fourDecimals;
  }
  EXPECT_NE(whole.at("results.csv").find(row + ","), std::string::npos) << row;

  // A folder of another grid is named, by merge and by a run alike.
  testing::writeFile(folder / "parts/scenario-0003/grid.digest", "0123456789abcdef\n");
  fs::create_directory(folder / "parts/scenario-0007");
  for (const char* command : {"grid grid.toml --merge parts", "grid grid.toml --out parts"}) {
    EXPECT_EQ(run(folder, command, &errors), 1);
    EXPECT_NE(errors.find("another grid: scenario-0003, scenario-0007"), std::string::npos)
        << errors;
  }

  // A scenario that fails as it runs stops the grid, named once.
  testing::writeFile(folder / "failing.toml",
                     "base = \"base.toml\"\n[axes]\ndrop_in = [{ times = [10.0], rates = [1.0] }]\n"
                     "alternative = [{ times = [1.0], survival = [0.00002] }]\n");
  EXPECT_EQ(run(folder, "grid failing.toml --out failing", &errors), 1);
  // The keyed design has no numbered lines: the fault names its file and key.
  EXPECT_EQ(errors.rfind("survseq: scenario 1 failed: ", 0), 0u) << errors;
  EXPECT_NE(errors.find("design.toml: drop_in.times: no event time after the drop-in time 10"),
            std::string::npos)
      << errors;
  EXPECT_EQ(errors.find("survseq", 1), std::string::npos) << errors;
}

// A process that has ended, whose number names the leftovers of a killed run.
pid_t endedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

// Holds byte `offset` of `folder`'s lock file as another run would (0: the folder, n:
// scenario n); released when the returned descriptor is closed.
int holdLock(const fs::path& folder, short kind, off_t offset) {
  const int descriptor = ::open((folder / ".survseq.lock").c_str(), O_RDWR | O_CREAT, 0644);
  struct flock range {};
  range.l_type = kind;
  range.l_whence = SEEK_SET;
  range.l_start = offset;
  range.l_len = 1;
  EXPECT_EQ(::fcntl(descriptor, F_SETLK, &range), 0);
  return descriptor;
}

TEST(GridTest, ARerunRedoesEveryAlteredScenarioRemovesLeftoversAndWaitsForNoOtherRun) {
  const GridFolder scratch("base = \"base.toml\"\n[axes]\n\"alternative.hazard_ratio\" = "
                           "[0.6, 0.7]\n\"baseline_survival.median\" = [9.0, 12.0]\n");
  const fs::path& folder = scratch.path;
  ASSERT_EQ(run(folder, "grid grid.toml --out clean --quiet"), 0);
  const auto clean = tree(folder / "clean");
  fs::copy(folder / "clean", folder / "out", fs::copy_options::recursive);

  // Another run holds the folder, or the shards hold it: a second run changes nothing.
  std::string errors;
  const std::pair<short, const char*> holders[] = {{F_WRLCK, "--shard 0/2"}, {F_RDLCK, ""},
                                                   {F_RDLCK, "--merge out"}};
  for (const auto& [kind, options] : holders) {
    const int held = holdLock(folder / "out", kind, 0);
    const std::string command = std::string("grid grid.toml ") +
                                (std::string(options).starts_with("--merge") ? "" : "--out out ") +
                                options;
    EXPECT_EQ(run(folder, command, &errors), 1) << command;
    EXPECT_EQ(errors, "survseq: another survseq run holds the folder 'out'; nothing was done, "
                      "run this again when it has ended\n");
    ::close(held);
    EXPECT_EQ(tree(folder / "out"), clean);
  }

  // Files lost, cut and altered in finished scenarios, and the leftovers of killed runs.
  const auto cut = [&](const std::string& name, size_t keep) {
    const std::string path = (folder / "out" / name).string();
    fs::resize_file(path, std::min<size_t>(keep, fs::file_size(path)));
  };
  fs::remove(folder / "out/scenario-0001/scenario.out");
  fs::remove(folder / "out/scenario-0001/console.txt");
  cut("scenario-0002/results.json", 100);
  std::string plot = clean.at("scenario-0003/search.svg");
  plot[plot.size() / 2] ^= 1;
  testing::writeFile(folder / "out/scenario-0003/search.svg", plot);
  cut("scenario-0004/grid.digest", 17);  // the grid's digest alone
  const std::string dead = std::to_string(endedProcess());
  const std::string temporary = ".results.csv.survseq-" + dead + "-0";
  testing::writeFile(folder / "out" / temporary, "half");
  testing::writeFile(folder / "out/.grid.svg.survseq-1-0", "a process that is alive");

  // A merge names every altered folder; it redoes none.
  EXPECT_EQ(run(folder, "grid grid.toml --merge out", &errors), 1);
  EXPECT_EQ(errors,
            "survseq: out: altered since they finished: scenario-0001 (console.txt is missing, "
            "scenario.out is missing); scenario-0002 (results.json is truncated); scenario-0003 "
            "(search.svg is altered); scenario-0004 (grid.digest records none of the files); run "
            "the grid with --out to redo them\n");
  EXPECT_FALSE(fs::exists(folder / "out" / temporary));
  // A shard leaves a hidden folder that another process is building.
  for (const char* partial : {".scenario-0001.partial", ".scenario-0002.partial"}) {
    fs::create_directory(folder / "out" / partial);
    testing::writeFile(folder / "out" / partial / "design.toml", "half");
  }
  const int shard = holdLock(folder / "out", F_RDLCK, 0);
  const int building = holdLock(folder / "out", F_WRLCK, 1);
  fs::create_directory(folder / "out/.scenario-0003.partial");
  ASSERT_EQ(run(folder, "grid grid.toml --out out --shard 1/2 --quiet", &errors), 0) << errors;
  EXPECT_TRUE(fs::exists(folder / "out/.scenario-0001.partial"));
  EXPECT_FALSE(fs::exists(folder / "out/.scenario-0002.partial"));
  EXPECT_FALSE(fs::exists(folder / "out/.scenario-0003.partial"));
  EXPECT_EQ(errors, "survseq: warning: out/scenario-0003: search.svg is altered; the scenario is "
                    "run again\n");
  ::close(shard), ::close(building);

  ASSERT_EQ(run(folder, "grid grid.toml --out out --quiet", &errors), 0);
  for (const char* said : {"out/scenario-0001: console.txt is missing, scenario.out is missing; "
                           "the scenario is run again",
                           "out/scenario-0002: results.json is truncated",
                           "out/scenario-0004: grid.digest records none of the files"})
    EXPECT_NE(errors.find(said), std::string::npos) << errors;
  fs::remove(folder / "out/.grid.svg.survseq-1-0");
  EXPECT_EQ(tree(folder / "out"), clean);

  // Nor is an input ever one of the grid's outputs.
  fs::create_directories(folder / "inside/scenario-0002");
  testing::writeFile(folder / "inside/scenario-0002/base.toml", kBase);
  testing::writeFile(folder / "inside/grid.toml",
                     "base = \"scenario-0002/base.toml\"\n[axes]\nseed = [1, 2]\n");
  fs::copy_file(folder / "inside/grid.toml", folder / "inside/results.csv");
  const std::pair<const char*, const char*> refused[] = {
      {"grid inside/grid.toml --out inside",
       "the base design 'inside/scenario-0002/base.toml' lies in the scenario folder "
       "'inside/scenario-0002', which the run may replace"},
      {"grid inside/results.csv --merge inside",
       "the results table 'inside/results.csv' is the grid file itself"}};
  const auto before = tree(folder / "inside");
  for (const auto& [command, said] : refused) {
    EXPECT_EQ(run(folder, command, &errors), 1);
    EXPECT_EQ(errors, "survseq: " + std::string(said) + "; nothing was written\n");
    EXPECT_EQ(tree(folder / "inside"), before);
  }
}


TEST(GridTest, ThePowerPlottedIsTheCombinationsWhereAScenarioCombinesStatistics) {
  // Two scenarios of a given size, statistic 1's power 0.2 and the combination's 0.9 and
  // 0.95: they stand where scenarios whose statistic 1 had 0.9 and 0.95 would, and the
  // axis names the combination.
  GridFile grid;
  grid.axes.push_back({"alternative.hazard_ratio", toml::array{0.6, 0.7}, {}});
  std::vector<ScenarioResult> combined(2), single(2);
  for (size_t i = 0; i < 2; ++i) {
    const float power = i == 0 ? 0.9f : 0.95f;
    combined[i].statistics = {{0.2f, 0.01f, 30.0f}};
    combined[i].combination = StatisticResult{power, 0.01f, 28.0f};
    single[i].statistics = {{power, 0.01f, 30.0f}};
  }
  const auto circles = [](const std::string& svg) {
    std::string found;
    for (size_t at = svg.find("<circle"); at != std::string::npos; at = svg.find("<circle", at + 1)) {
      found += svg.substr(at, svg.find('>', at) - at) + "\n";
    }
    return found;
  };
  const std::string plotted = gridSvg(grid, combined, PlottedFigure::Power);
  EXPECT_EQ(circles(plotted), circles(gridSvg(grid, single, PlottedFigure::Power)));
  EXPECT_NE(plotted.find("power of the combination by alternative.hazard_ratio"), std::string::npos);
}

}  // namespace
}  // namespace survseq::grid
