#pragma once

// `survseq grid`: runs the scenarios of a grid file into scenario folders, all of them or
// one shard, and writes the results table and the grid picture from the folders.

#include <cstdint>
#include <iosfwd>
#include <string>

namespace survseq::grid {

struct GridOptions {
  std::string gridPath;
  std::string outDir;    // run into this folder ...
  std::string mergeDir;  // ... or only merge the scenario folders in this one
  // Run only the scenarios whose number is shardIndex modulo shardCount; a shard writes
  // no table.
  int32_t shardIndex = 0;
  int32_t shardCount = 0;  // 0: the whole grid, then the table
  // Threads per scenario; as many scenarios run at once as the cores allow. 0: one
  // thread each, so that every core runs a scenario of its own.
  int32_t threads = 0;
  bool progress = false;  // one line per scenario on the error stream
};

// Returns the exit status: 0 on success; 1 after one error line on `errors`.
int runGrid(const GridOptions& options, std::ostream& errors);

}  // namespace survseq::grid
