#pragma once

// The `grid` subcommand of the command line.

#include <CLI/CLI.hpp>
#include <functional>

namespace survseq::grid {

// Adds `survseq grid GRID.toml --out DIR [--shard I/N] | --merge DIR` to `app`. The
// function returned runs the grid when the command line chose it and returns the exit
// status, or returns -1 when it did not.
std::function<int()> addGridCommand(CLI::App& app);

}  // namespace survseq::grid
