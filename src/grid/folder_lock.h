#pragma once

// The lock a grid run holds on its --out folder (or a merge on its folder), so that two
// runs never build in one folder at once: a record lock (fcntl) on DIR/.survseq.lock,
// which the system releases when the process ends however it ends, on a shared file
// system (NFS) as on a local disk. Byte 0 of the file is the folder: a whole run or a
// merge holds it alone, the shards of one grid share it. Byte n is scenario n, held by
// the process that builds it, so that two shards that were given the same scenario
// never build it together and a hidden .scenario-NNNN.partial folder whose byte nobody
// holds is known to be left over from a run that was killed.

#include <cstdint>
#include <filesystem>

namespace survseq::grid {

class FolderLock {
 public:
  // Takes the lock on `folder`, which must exist: alone (`shared` false) or beside other
  // shards. Throws RunError, having changed nothing, when another run holds it.
  FolderLock(const std::filesystem::path& folder, bool shared);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Claims scenario `number` for this process; false when another process holds it.
  // The threads of one process must claim different scenarios.
  bool claim(int32_t number) const;
  void release(int32_t number) const;

 private:
  int descriptor_ = -1;
};

// The name of the lock file inside the folder.
inline constexpr const char* kLockName = ".survseq.lock";

}  // namespace survseq::grid
