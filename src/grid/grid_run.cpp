#include "grid/grid_run.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "grid/design_text.h"
#include "grid/folder_lock.h"
#include "grid/grid_file.h"
#include "grid/grid_plot.h"
#include "grid/kept_inputs.h"
#include "grid/results_table.h"
#include "grid/scenario_folder.h"
#include "grid/scenarios.h"
#include "report/report_file.h"
#include "report/run_error.h"
#include "run/design_run.h"
#include "run/number_text.h"
#include "run/progress_display.h"
#include "run/thread_count.h"

namespace survseq::grid {

namespace {

// What the run and the table need of a scenario's design.
struct ScenarioFacts {
  std::string reportName;  // inside its folder
  bool givenSize = false;  // run at a given rate or size, no search
};

// The report's name inside the scenario folder: the last part of report_file.
std::string reportName(const GridFile& grid, int32_t number,
                       const input::DesignParameters& design) {
  const std::string name = fs::path(design.outputFileName).filename().string();
  // grid.digest holds one name a line.
  bool taken = name.empty() || name == "." || name == ".." || name.find('\n') != std::string::npos;
  for (const char* fixed : {kDesignName, kDigestName, kJsonName, kPlotName, kConsoleName}) {
    taken = taken || name == fixed;
  }
  if (taken) {
    throw RunError(grid.path + ": scenario " + std::to_string(number) + ": the report_file '" +
                   design.outputFileName +
                   "' names no file of its own in a scenario folder, "
                   "where " +
                   kDesignName + ", " + kDigestName + ", " + kJsonName + ", " + kPlotName +
                   " and " + kConsoleName + " are taken");
  }
  return name;
}

void writeWhole(const fs::path& path, const std::string& text) {
  report::ReportFile file;
  file.open(path.string(), 0, "file");
  file.stream() << text;
  file.finish();
}

// Runs scenario `number` into the folder being built.
void runScenario(const GridFile& grid, int32_t number, const std::string& report,
                 const fs::path& folder, int32_t threads, std::ostream& errors) {
  writeWhole(folder / kDesignName, designText(scenarioDesign(grid, number)));

  run::RunOptions options;
  options.threads = threads;
  options.reportPath = (folder / report).string();
  options.jsonPath = (folder / kJsonName).string();
  options.plotPath = (folder / kPlotName).string();
  std::ostringstream console;
  std::ostringstream messages;
  std::istringstream noInput;
  const int status =
      run::runDesignFile((folder / kDesignName).string(), noInput, console, messages, options);
  if (status == 0) {  // warnings of a run that went on
    std::istringstream lines(messages.str());
    for (std::string line; std::getline(lines, line);) {
      errors << "scenario " << number << ": " << line << '\n';
    }
  } else {
    std::string why = messages.str();
    if (!why.empty() && why.back() == '\n') why.pop_back();
    if (why.rfind("survseq: ", 0) == 0) why.erase(0, 9);
    throw RunError("scenario " + std::to_string(number) + " failed: " + why);
  }
  writeWhole(folder / kConsoleName, console.str());
  writeWhole(folder / kDigestName, folderDigestText(folder, grid.digest));
}

// The scenario folders of `dir` that belong to no scenario of this grid or to another
// grid file; "" when there are none.
std::string foreignFolders(const GridFile& grid, const fs::path& dir, int32_t count) {
  std::vector<std::string> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("scenario-", 0) != 0) continue;
    const int64_t number = std::strtoll(name.c_str() + 9, nullptr, 10);
    const bool ours = number >= 1 && number <= count &&
                      name == scenarioFolderName(static_cast<int32_t>(number), count);
    if (!ours || checkFolder(entry.path(), grid.digest, false).state == FolderState::OtherGrid) {
      found.push_back(name);
    }
  }
  std::sort(found.begin(), found.end());
  std::string names;
  for (const std::string& name : found) names += (names.empty() ? "" : ", ") + name;
  return names;
}

void writeTable(const GridFile& grid, const fs::path& dir,
                const std::vector<ScenarioFacts>& scenarios) {
  const auto count = static_cast<int32_t>(scenarios.size());
  const std::string foreign = foreignFolders(grid, dir, count);
  if (!foreign.empty()) {
    throw RunError(dir.string() + " holds scenario folders of another grid: " + foreign);
  }
  std::string missing, damaged;
  int32_t missingCount = 0;
  std::vector<ScenarioResult> results;
  bool givenSizes = true;
  for (int32_t n = 1; n <= count; ++n) {
    const fs::path folder = dir / scenarioFolderName(n, count);
    FolderCheck check = checkFolder(folder, grid.digest);
    if (check.state == FolderState::Missing) {
      if (++missingCount <= 20)
        missing += (missing.empty() ? "" : ", ") + folder.filename().string();
      continue;
    }
    if (check.state == FolderState::Finished) {
      try {
        results.push_back(readScenarioResult(folder / kJsonName));
      } catch (const RunError& error) {
        check.faults = error.what();
      }
    }
    if (!check.faults.empty()) {
      damaged += (damaged.empty() ? "" : "; ") + folder.filename().string() + " (" +
                 check.faults + ")";
    }
    givenSizes = givenSizes && scenarios[static_cast<size_t>(n - 1)].givenSize;
  }
  std::string faults;
  if (missingCount > 0) {
    faults = std::to_string(missingCount) + " of " + std::to_string(count) +
             " scenarios are not finished: " + missing + (missingCount > 20 ? ", ..." : "");
  }
  if (!damaged.empty()) {
    faults += (faults.empty() ? "" : "; ") + std::string("altered since they finished: ") +
              damaged + "; run the grid with --out to redo them";
  }
  if (!faults.empty()) throw RunError(dir.string() + ": " + faults);
  writeWhole(dir / "results.csv", resultsCsv(grid, results));
  writeWhole(dir / "grid.svg",
             gridSvg(grid, results, givenSizes ? PlottedFigure::Power : PlottedFigure::Patients));
}

// Runs one scenario into its folder unless it is finished; a line for it on `errors`
// when progress is shown.
void runOrSkip(const GridFile& grid, const GridOptions& options, const FolderLock& lock,
               int32_t n, int32_t count, const std::string& report, int32_t threads,
               double start, std::mutex& errorsMutex, std::ostream& errors) {
  const fs::path folder = fs::path(options.outDir) / scenarioFolderName(n, count);
  const std::string head = "scenario " + std::to_string(n) + " of " + std::to_string(count) + " (" +
                           scenarioLabel(grid, n) + "): ";
  std::ostringstream line;
  const FolderCheck check = checkFolder(folder, grid.digest);
  std::ostringstream warnings;
  const double began = run::ProgressDisplay::steadySeconds();
  if (check.state == FolderState::Finished) {
    line << head << "finished earlier\n";
  } else if (!buildScenarioFolder(folder, n, grid.digest, lock, [&](const fs::path& partial) {
               if (check.state == FolderState::Damaged) {
                 warnings << "survseq: warning: " << folder.string() << ": " << check.faults
                          << "; the scenario is run again\n";
               }
               runScenario(grid, n, report, partial, threads, warnings);
             })) {
    line << warnings.str() << head << "run by another process at the same time\n";
  } else {
    const ScenarioResult result = readScenarioResult(folder / kJsonName);
    line << warnings.str() << head << result.outcome << ", rate "
         << run::shortestText(result.accrualRate) << ", " << result.patients << " patients";
    if (!result.statistics.empty()) {
      line << ", power " << run::powerText(result.statistics.front().power);
    }
    const double now = run::ProgressDisplay::steadySeconds();
    line << ", " << run::elapsedText(now - began) << " (" << run::elapsedText(now - start)
         << " in all)\n";
  }
  const std::lock_guard<std::mutex> hold(errorsMutex);
  errors << (options.progress ? line.str() : line.str().substr(0, line.str().find(head)))
         << std::flush;
}

// Runs the scenarios of the shard, several at a time when there are cores for them: each
// scenario's results depend on nothing but its design.
void runScenarios(const GridFile& grid, const GridOptions& options, const FolderLock& lock,
                  const std::vector<ScenarioFacts>& scenarios, std::ostream& errors) {
  const auto count = static_cast<int32_t>(scenarios.size());
  const fs::path dir(options.outDir);
  const std::string foreign = foreignFolders(grid, dir, count);
  if (!foreign.empty()) {
    throw RunError(dir.string() + " holds scenario folders of another grid: " + foreign +
                   "; remove them or choose another --out");
  }
  std::vector<int32_t> numbers;
  for (int32_t n = 1; n <= count; ++n) {
    if (options.shardCount == 0 || n % options.shardCount == options.shardIndex) {
      numbers.push_back(n);
    }
  }
  const int32_t cores = run::usableCores();
  const int32_t threads = options.threads > 0 ? run::threadsToUse(options.threads) : 1;
  const auto workers = static_cast<int32_t>(std::clamp<size_t>(
      static_cast<size_t>(std::max(1, cores / threads)), 1, std::max<size_t>(numbers.size(), 1)));

  const double start = run::ProgressDisplay::steadySeconds();
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex errorsMutex;
  std::string failure;
  const auto work = [&] {
    for (size_t i = next++; i < numbers.size() && !failed; i = next++) {
      const int32_t n = numbers[i];
      try {
        runOrSkip(grid, options, lock, n, count, scenarios[static_cast<size_t>(n - 1)].reportName,
                  threads, start, errorsMutex, errors);
      } catch (const std::exception& problem) {
        const std::lock_guard<std::mutex> lock(errorsMutex);
        if (!failed.exchange(true)) failure = problem.what();
      }
    }
  };
  std::vector<std::thread> pool;
  for (int32_t w = 1; w < workers; ++w) pool.emplace_back(work);
  work();
  for (std::thread& thread : pool) thread.join();
  if (failed) throw RunError(failure);
}

}  // namespace

int runGrid(const GridOptions& options, std::ostream& errors) {
  try {
    const GridFile grid = readGridFile(options.gridPath);
    std::vector<ScenarioFacts> scenarios;
    checkScenarios(grid, [&](int32_t n, const input::DesignParameters& design) {
      scenarios.push_back({reportName(grid, n, design),
                           design.accrualForm == input::AccrualForm::GivenRate ||
                               design.accrualForm == input::AccrualForm::GivenPatients});
    });
    const bool merging = !options.mergeDir.empty();
    const fs::path dir = merging ? options.mergeDir : options.outDir;
    keepInputsApart(grid, dir, !merging);
    std::error_code error;
    if (!merging) {
      fs::create_directories(dir, error);
      if (error)
        throw RunError("could not create the folder '" + dir.string() + "': " + error.message());
    } else if (!fs::is_directory(dir, error)) {
      throw RunError("there is no folder '" + dir.string() + "' to merge");
    }
    const FolderLock lock(dir, !merging && options.shardCount > 0);
    removeAbandonedFolders(dir, lock);
    for (const char* table : {"results.csv", "grid.svg"})
      report::removeAbandonedTemporaries((dir / table).string());
    if (merging) {
      writeTable(grid, dir, scenarios);
      return 0;
    }
    runScenarios(grid, options, lock, scenarios, errors);
    if (options.shardCount == 0) writeTable(grid, dir, scenarios);
  } catch (const RunError& error) {
    errors << "survseq: " << error.what() << '\n';
    return 1;
  } catch (const fs::filesystem_error& error) {
    errors << "survseq: " << error.what() << '\n';
    return 1;
  } catch (const std::bad_alloc&) {
    errors << "survseq: not enough memory for the grid\n";
    return 1;
  }
  return 0;
}

}  // namespace survseq::grid
