#pragma once

// The folder of one scenario, DIR/scenario-NNNN/: the scenario's design file, the report
// (named as the design's report_file says), the JSON results, the search plot, the
// console lines and, written last, grid.digest (scenario_digest.h). It appears whole or
// not at all: it is built in a hidden sibling, DIR/.scenario-NNNN.partial, written to
// disk and renamed into place, so a run killed half-way leaves only the sibling, which
// the next run removes and redoes.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "grid/folder_lock.h"
#include "grid/scenario_digest.h"

namespace survseq::grid {

namespace fs = std::filesystem;

// The fixed names inside a scenario folder; the report takes any other name.
inline constexpr const char* kDesignName = "design.toml";
inline constexpr const char* kDigestName = "grid.digest";
inline constexpr const char* kJsonName = "results.json";
inline constexpr const char* kPlotName = "search.svg";
inline constexpr const char* kConsoleName = "console.txt";

// "scenario-0007"; four digits, more when the grid has more than 9999 scenarios.
std::string scenarioFolderName(int32_t number, int32_t count);

// Whether `name` is that of a scenario folder or of its hidden sibling.
bool isScenarioFolderName(const std::string& name);

// Builds scenario `number`'s `folder` with `fill`, which writes the files into the
// directory it is given, and puts it in place of a damaged one, holding the scenario's
// claim in `lock` meanwhile; throws RunError when the disk refuses. Returns false, doing
// nothing, when another process holds the claim or has finished the folder meanwhile.
bool buildScenarioFolder(const fs::path& folder, int32_t number, const std::string& gridDigest,
                         const FolderLock& lock, const std::function<void(const fs::path&)>& fill);

// Removes the hidden siblings in `dir` that no process is building: those of runs that
// were killed.
void removeAbandonedFolders(const fs::path& dir, const FolderLock& lock);

}  // namespace survseq::grid
