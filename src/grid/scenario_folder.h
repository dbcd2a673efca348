#pragma once

// The folder of one scenario, DIR/scenario-NNNN/: the scenario's design file, the digest
// of its grid, the report (named as the design's report_file says), the JSON results, the
// search plot and the console lines. It appears whole or not at all: it is built in a
// hidden sibling, DIR/.scenario-NNNN.partial, written to disk and renamed into place, so
// a run killed half-way leaves only the sibling, which the next run removes and redoes.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

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

enum class FolderState { Missing, Finished, OtherGrid };

// Whether `folder` holds a finished scenario of the grid with `digest`.
FolderState folderState(const fs::path& folder, const std::string& digest);

// Builds `folder` with `fill`, which writes the files into the directory it is given, and
// puts it in place; throws RunError when the disk refuses. An unfinished sibling from an
// earlier run is removed first.
void buildScenarioFolder(const fs::path& folder, const std::function<void(const fs::path&)>& fill);

}  // namespace survseq::grid
