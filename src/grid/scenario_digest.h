#pragma once

// grid.digest in a scenario folder: what tells a finished folder of this grid from a
// folder of another grid and from one whose files were altered, truncated or lost since
// it finished. Written last, when every other file is in the folder:
//
//   <digest of the grid file and the base design>
//   <hash> <size> <name>        one line per other file of the folder, in name order
//   <hash of all the lines above>
//
// each hash the 16 hexadecimal digits of a 64-bit FNV-1a hash (digestOf in grid_file.h),
// each size in bytes. The last line seals the file itself: an edited or cut grid.digest
// does not pass for another grid's.

#include <filesystem>
#include <string>

namespace survseq::grid {

namespace fs = std::filesystem;

// The text of grid.digest for the files now in `folder`.
std::string folderDigestText(const fs::path& folder, const std::string& gridDigest);

enum class FolderState {
  Missing,    // no folder
  Finished,   // every file as it was when the scenario finished
  OtherGrid,  // finished by a run of another grid (or of an edited one)
  Damaged,    // a file altered, truncated or lost since
};

struct FolderCheck {
  FolderState state = FolderState::Missing;
  std::string faults;  // when damaged: "results.json is truncated, console.txt is missing"
};

// What `folder` holds for the grid with `gridDigest`. With `verifyFiles` false only
// grid.digest is read, to tell the grids apart; a folder of this grid then counts as
// finished.
FolderCheck checkFolder(const fs::path& folder, const std::string& gridDigest,
                        bool verifyFiles = true);

}  // namespace survseq::grid
