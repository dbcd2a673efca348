#pragma once

// The grid file and its base design are never among the files a grid writes: not the
// results table or the picture in the folder, and, for a run, not inside a scenario
// folder that the run may replace.

#include <filesystem>

#include "grid/grid_file.h"

namespace survseq::grid {

// Throws RunError, before anything is written, when an input of `grid` is an output of a
// run (`running`) or a merge into `dir`.
void keepInputsApart(const GridFile& grid, const std::filesystem::path& dir, bool running);

}  // namespace survseq::grid
