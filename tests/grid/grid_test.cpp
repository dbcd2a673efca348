// The grid: the order of its scenarios, the grids refused before anything runs, and the
// program's runs of a grid in one process, in shards and after being killed, which must
// leave the same folders and table byte for byte.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "grid/grid_file.h"
#include "grid/scenarios.h"
#include "report/run_error.h"
#include "search/program_runner.h"

extern char** environ;

namespace survseq::grid {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBase = R"(report_file = "scenario.out"
seed = 4711
analysis_times = [12.0, 24.0]
simulations_per_iteration = 300
type_one_error = 0.025
sides = 1
desired_power = 0.8
[[statistics]]
rho = 0.0
tau = 0.0
[boundary]
method = "lan_demets"
use_function = "obrien_fleming"
[accrual]
period = 12.0
rate_lower = 2.0
rate_upper = 80.0
[baseline_survival]
median = 9.0
[alternative]
hazard_ratio = 0.6
)";

// A new empty folder, removed with everything in it when the test ends.
struct ScratchFolder {
  explicit ScratchFolder(const std::string& purpose) : path(testing::freshDirectory("grid-" + purpose)) {}
  ~ScratchFolder() { fs::remove_all(path); }
  const fs::path path;
};

// A grid file `grid` beside the base design `base`; returns the grid's path.
fs::path writeGrid(const fs::path& folder, const std::string& grid,
                   const std::string& base = kBase) {
  testing::writeFile(folder / "base.toml", base);
  testing::writeFile(folder / "grid.toml", grid);
  return folder / "grid.toml";
}

// Every file under `folder` by relative path, with its bytes.
std::map<std::string, std::string> tree(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder)] = testing::readFile(entry);
  return files;
}

// Runs `survseq grid ARGUMENTS` in `folder`; returns the exit status, standard error in
// `errors`.
int runGridProgram(const fs::path& folder, const std::string& arguments,
                   std::string* errors = nullptr) {
  const std::string command = "cd '" + folder.string() + "' && '" SURVSEQ_BINARY "' grid " +
                              arguments + " </dev/null 2>errors.txt";
  const int status = std::system(command.c_str());
  if (errors != nullptr) *errors = testing::readFile(folder / "errors.txt");
  fs::remove(folder / "errors.txt");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(GridTest, ScenariosTakeTheAxesInFileOrderWithTheLastFastest) {
  const ScratchFolder scratch("order");
  const GridFile grid = readGridFile(writeGrid(scratch.path, R"(base = "base.toml"
[axes]
"simulations_per_iteration" = [100, 200]
alternative.hazard_ratio = [0.6, 0.7, 0.8]
)")
                                         .string());
  ASSERT_EQ(scenarioCount(grid), 6);
  const char* trials[] = {"100", "100", "100", "200", "200", "200"};
  const char* ratios[] = {"0.6", "0.7", "0.8", "0.6", "0.7", "0.8"};
  for (int32_t n = 1; n <= 6; ++n) {
    EXPECT_EQ(scenarioLabel(grid, n), std::string("simulations_per_iteration = ") + trials[n - 1] +
                                          ", alternative.hazard_ratio = " + ratios[n - 1]);
  }
  std::vector<input::DesignParameters> designs;
  checkScenarios(grid, [&](int32_t n, const input::DesignParameters& design) {
    EXPECT_EQ(n, static_cast<int32_t>(designs.size()) + 1);
    designs.push_back(design);
  });
  ASSERT_EQ(designs.size(), 6u);
  EXPECT_EQ(designs[4].simulationCount, 200);
  EXPECT_EQ(designs[4].seed, 4711);  // the base seed in every scenario
  EXPECT_EQ(scenarioDesign(grid, 5)["alternative"]["hazard_ratio"].value<double>(), 0.7);
}

TEST(GridTest, ValuesAreWrittenAsAPersonWritesThemAndReadBackTheSame) {
  const struct {
    const char* toml;
    const char* text;
  } cases[] = {{"0.1", "0.1"}, {"12.0", "12.0"}, {"0.025", "0.025"}, {"1e-10", "1e-10"},
               {"123456789.123", "123456789.123"}, {"7", "7"}, {"'name'", "'name'"},
               {"[0.7, 2, [1.5]]", "[0.7, 2, [1.5]]"},
               {"{ times = [12.0], rates = [0.1], 'a b' = 1 }",
                "{ 'a b' = 1, rates = [0.1], times = [12.0] }"}};
  for (const auto& c : cases) {
    const toml::table parsed = toml::parse(std::string("x = ") + c.toml);
    const std::string text = valueText(*parsed.get("x"));
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(toml::parse("x = " + text), parsed) << text;
  }
}

TEST(GridTest, BadGridsAndBadScenariosAreRefusedNamingThem) {
  const struct {
    const char* grid;
    std::vector<const char*> said;
  } cases[] = {
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
      {"base = \"base.toml\"\n[axes]\nseed = [1 2]\n", {"grid.toml:3:"}},
  };
  for (const auto& c : cases) {
    const ScratchFolder scratch("refused");
    const std::string path = writeGrid(scratch.path, c.grid).string();
    try {
      checkScenarios(readGridFile(path), [](int32_t, const input::DesignParameters&) {});
      ADD_FAILURE() << "accepted: " << c.grid;
    } catch (const RunError& error) {
      for (const char* part : c.said)
        EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what() << part;
    }
  }
}

constexpr const char* kSmallGrid = R"(base = "base.toml"
[axes]
"alternative.hazard_ratio" = [0.6, 0.7]
"baseline_survival.median" = [9.0, 12.0, 15.0]
)";

TEST(GridTest, ShardsMergedGiveTheOneProcessFoldersAndTable) {
  const ScratchFolder scratch("shards");
  const fs::path& folder = scratch.path;
  writeGrid(folder, kSmallGrid);
  ASSERT_EQ(runGridProgram(folder, "grid.toml --out whole --quiet"), 0);
  for (const char* shard : {"0/4", "1/4", "3/4"})
    ASSERT_EQ(runGridProgram(folder, "grid.toml --out parts --quiet --shard " + std::string(shard)), 0);
  EXPECT_FALSE(fs::exists(folder / "parts/results.csv"));  // a shard writes no table

  std::string errors;
  EXPECT_EQ(runGridProgram(folder, "grid.toml --merge parts", &errors), 1);
  EXPECT_NE(errors.find("2 of 6 scenarios are not finished: scenario-0002, scenario-0006"),
            std::string::npos)
      << errors;
  ASSERT_EQ(runGridProgram(folder, "grid.toml --out parts --shard 2/4 --threads 2 --quiet"), 0);
  ASSERT_EQ(runGridProgram(folder, "grid.toml --merge parts"), 0);
  const auto whole = tree(folder / "whole");
  EXPECT_EQ(whole.size(), 6u * 6u + 2u);  // six files per scenario, the table and the picture
  EXPECT_EQ(tree(folder / "parts"), whole);
  EXPECT_EQ(
      whole.at("results.csv")
          .rfind("scenario,alternative.hazard_ratio,baseline_survival.median,outcome,accrual_rate,"
                 "patients,analytic_accrual_rate,analytic_power_1,power_1,standard_error_1,"
                 "average_stopping_time_1\n"
                 "1,0.6,9.0,within_two_standard_errors,",
                 0),
      0u);

  // A scenario's report is that of the base design edited by hand and run alone, and its
  // row holds the outcome of its JSON results.
  const ScratchFolder aloneScratch("alone");
  const fs::path& alone = aloneScratch.path;
  std::string edited = kBase;
  edited.replace(edited.find("median = 9.0"), 12, "median = 12.0");
  edited.replace(edited.find("hazard_ratio = 0.6"), 18, "hazard_ratio = 0.7");
  testing::writeFile(alone / "design.toml", edited);
  ASSERT_EQ(std::system(("cd '" + alone.string() +
                         "' && '" SURVSEQ_BINARY "' --quiet design.toml >/dev/null")
                            .c_str()),
            0);
  EXPECT_EQ(testing::readFile(alone / "scenario.out"), whole.at("scenario-0005/scenario.out"));
  const nlohmann::json outcome =
      nlohmann::json::parse(whole.at("scenario-0005/results.json")).at("outcome");
  std::istringstream table(whole.at("results.csv"));
  std::string row;
  for (int line = 0; line <= 5; ++line) std::getline(table, row);
  EXPECT_EQ(row, "5,0.7,12.0," + outcome.at("kind").get<std::string>() + "," +
                     outcome.at("accrual_rate").dump() + "," + outcome.at("patients").dump() + "," +
                     outcome.at("analytic_accrual_rate").dump() + "," +
                     outcome.at("analytic_power").dump() + "," + outcome.at("power").dump() + "," + outcome.at("standard_error").dump() + "," +
                     row.substr(row.rfind(',') + 1));

  // A folder of another grid is named, by merge and by a run alike.
  testing::writeFile(folder / "parts/scenario-0003/grid.digest", "0123456789abcdef\n");
  fs::create_directory(folder / "parts/scenario-0007");
  EXPECT_EQ(runGridProgram(folder, "grid.toml --merge parts", &errors), 1);
  EXPECT_NE(errors.find("another grid: scenario-0003, scenario-0007"), std::string::npos) << errors;
  EXPECT_EQ(runGridProgram(folder, "grid.toml --out parts", &errors), 1);
  EXPECT_NE(errors.find("another grid: scenario-0003, scenario-0007"), std::string::npos) << errors;
}

TEST(GridTest, AKilledRunResumesToTheSameFoldersAndTable) {
  const ScratchFolder scratch("killed");
  const fs::path& folder = scratch.path;
  writeGrid(folder, kSmallGrid);
  ASSERT_EQ(runGridProgram(folder, "grid.toml --out whole --quiet"), 0);

  // Killed at once when its first scenario is in place: the others are not finished.
  const std::string out = (folder / "killed").string();
  const char* arguments[] = {SURVSEQ_BINARY, "grid",    "grid.toml", "--out",
                             out.c_str(),    "--quiet", nullptr};
  const std::string grid = (folder / "grid.toml").string();
  arguments[2] = grid.c_str();
  pid_t pid = 0;
  ASSERT_EQ(
      posix_spawn(&pid, SURVSEQ_BINARY, nullptr, nullptr, const_cast<char**>(arguments), environ),
      0);
  const auto finished = [&] {
    int count = 0;
    for (int n = 1; n <= 6; ++n)
      count += fs::exists(folder / "killed" / ("scenario-000" + std::to_string(n)));
    return count;
  };
  while (finished() == 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  ASSERT_GE(finished(), 1);
  ASSERT_LT(finished(), 6) << "the run ended before it could be killed";

  ASSERT_EQ(runGridProgram(folder, "grid.toml --out killed --quiet"), 0);
  EXPECT_EQ(tree(folder / "killed"), tree(folder / "whole"));  // no partial folder left
}

}  // namespace
}  // namespace survseq::grid
