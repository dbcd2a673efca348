#include "grid/scenario_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "report/run_error.h"

namespace survseq::grid {

namespace {

std::string systemReason(const std::error_code& error) { return error.message(); }

// Writes `path` (a file or a directory) to the disk.
void syncToDisk(const fs::path& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) throw RunError("could not open '" + path.string() + "' to write it to disk");
  const bool synced = ::fsync(descriptor) == 0;
  ::close(descriptor);
  if (!synced) throw RunError("could not write '" + path.string() + "' to disk");
}

}  // namespace

std::string scenarioFolderName(int32_t number, int32_t count) {
  const int width = std::max<int>(4, static_cast<int>(std::to_string(count).size()));
  char name[32];
  std::snprintf(name, sizeof name, "scenario-%0*d", width, number);
  return name;
}

FolderState folderState(const fs::path& folder, const std::string& digest) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) return FolderState::Missing;
  std::ifstream file(folder / kDigestName);
  std::string stored;
  std::getline(file, stored);
  return stored == digest ? FolderState::Finished : FolderState::OtherGrid;
}

void buildScenarioFolder(const fs::path& folder, const std::function<void(const fs::path&)>& fill) {
  const fs::path partial = folder.parent_path() / ("." + folder.filename().string() + ".partial");
  std::error_code error;
  fs::remove_all(partial, error);
  if (error) {
    throw RunError("could not remove the unfinished folder '" + partial.string() +
                   "': " + systemReason(error));
  }
  if (!fs::create_directory(partial, error)) {
    throw RunError("could not create the folder '" + partial.string() +
                   "': " + systemReason(error));
  }
  fill(partial);
  for (const fs::directory_entry& entry : fs::directory_iterator(partial)) {
    syncToDisk(entry.path());
  }
  syncToDisk(partial);
  fs::rename(partial, folder, error);
  if (error) {
    throw RunError("could not rename '" + partial.string() + "' to '" + folder.string() +
                   "': " + systemReason(error));
  }
  syncToDisk(folder.parent_path());
}

}  // namespace survseq::grid
