#pragma once

// A grid file: a keyed base design and the axes along which its scenarios differ.
//
//   base = "design.toml"                        # relative to the grid file
//   [axes]
//   "alternative.hazard_ratio" = [0.6, 0.7, 0.8]
//   "baseline_survival.median" = [9.0, 12.0, 15.0]
//
// An axis is a dotted design key (quoted, or written as nested tables under [axes]) with
// an array of values; the axes keep the order in which the file writes them.

#include <toml++/toml.h>

#include <string>
#include <vector>

namespace survseq::grid {

struct GridAxis {
  std::string key;                               // "alternative.hazard_ratio"
  toml::array values;                            // at least one
  std::vector<toml::source_position> positions;  // of each value in the grid file
};

struct GridFile {
  std::string path;      // as given
  std::string basePath;  // the base design, resolved against the grid file's folder
  // Hash of the grid file's bytes and the base design's bytes: a scenario folder that
  // carries another digest comes from another grid.
  std::string digest;
  std::string baseText;  // parsed afresh for each scenario, which keeps its line numbers
  std::vector<GridAxis> axes;
};

// Reads the grid file at `path` and its base design; throws RunError naming the file, the
// line and column, and the key.
GridFile readGridFile(const std::string& path);

// The bytes of the file at `path`; throws RunError naming `what` ("grid file").
std::string fileBytes(const std::string& path, const std::string& what);

// 16 hexadecimal digits of the 64-bit FNV-1a hash of `parts`, each preceded by its length.
std::string digestOf(const std::vector<std::string>& parts);

}  // namespace survseq::grid
