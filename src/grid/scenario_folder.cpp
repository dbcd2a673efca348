#include "grid/scenario_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "report/run_error.h"

namespace survseq::grid {

namespace {

constexpr const char* kFolderPrefix = "scenario-";
constexpr const char* kPartialSuffix = ".partial";

std::string systemReason(const std::error_code& error) { return error.message(); }

// Writes `path` (a file or a directory) to the disk.
void syncToDisk(const fs::path& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) throw RunError("could not open '" + path.string() + "' to write it to disk");
  const bool synced = ::fsync(descriptor) == 0;
  ::close(descriptor);
  if (!synced) throw RunError("could not write '" + path.string() + "' to disk");
}

fs::path partialOf(const fs::path& folder) {
  return folder.parent_path() / ("." + folder.filename().string() + kPartialSuffix);
}

void removeAll(const fs::path& path, const char* what) {
  std::error_code error;
  fs::remove_all(path, error);
  if (error) {
    throw RunError("could not remove the " + std::string(what) + " folder '" + path.string() +
                   "': " + systemReason(error));
  }
}

// The scenario number of a folder named "scenario-NNNN", 0 for any other name.
int32_t numberOf(const std::string& name) {
  const std::string digits = name.substr(std::min(name.size(), std::string(kFolderPrefix).size()));
  if (!name.starts_with(kFolderPrefix) || digits.empty() || digits.size() > 9 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  return static_cast<int32_t>(std::strtol(digits.c_str(), nullptr, 10));
}

// The scenario number of a hidden sibling ".scenario-NNNN.partial", 0 for any other name.
int32_t partialNumberOf(const std::string& name) {
  if (!name.starts_with(".") || !name.ends_with(kPartialSuffix)) return 0;
  return numberOf(name.substr(1, name.size() - 1 - std::string(kPartialSuffix).size()));
}

// Holds a scenario's claim until it goes out of scope.
class Claim {
 public:
  Claim(const FolderLock& lock, int32_t number) : lock_(lock), number_(number) {
    held_ = lock.claim(number);
  }
  ~Claim() {
    if (held_) lock_.release(number_);
  }
  Claim(const Claim&) = delete;
  Claim& operator=(const Claim&) = delete;
  bool held() const { return held_; }

 private:
  const FolderLock& lock_;
  int32_t number_;
  bool held_ = false;
};

}  // namespace

std::string scenarioFolderName(int32_t number, int32_t count) {
  const int width = std::max<int>(4, static_cast<int>(std::to_string(count).size()));
  char name[32];
  std::snprintf(name, sizeof name, "scenario-%0*d", width, number);
  return name;
}

bool isScenarioFolderName(const std::string& name) {
  return numberOf(name) > 0 || partialNumberOf(name) > 0;
}

bool buildScenarioFolder(const fs::path& folder, int32_t number, const std::string& gridDigest,
                         const FolderLock& lock, const std::function<void(const fs::path&)>& fill) {
  const Claim claim(lock, number);
  if (!claim.held() || checkFolder(folder, gridDigest).state == FolderState::Finished) return false;
  const fs::path partial = partialOf(folder);
  removeAll(partial, "unfinished");
  std::error_code error;
  if (!fs::create_directory(partial, error)) {
    throw RunError("could not create the folder '" + partial.string() +
                   "': " + systemReason(error));
  }
  fill(partial);
  for (const fs::directory_entry& entry : fs::directory_iterator(partial)) {
    syncToDisk(entry.path());
  }
  syncToDisk(partial);
  removeAll(folder, "damaged");
  fs::rename(partial, folder, error);
  if (error) {
    throw RunError("could not rename '" + partial.string() + "' to '" + folder.string() +
                   "': " + systemReason(error));
  }
  syncToDisk(folder.parent_path());
  return true;
}

void removeAbandonedFolders(const fs::path& dir, const FolderLock& lock) {
  std::vector<std::pair<fs::path, int32_t>> partials;
  std::error_code error;
  for (fs::directory_iterator entry(dir, error), end; !error && entry != end;
       entry.increment(error)) {
    const int32_t number = partialNumberOf(entry->path().filename().string());
    if (number > 0) partials.emplace_back(entry->path(), number);
  }
  for (const auto& [partial, number] : partials) {
    const Claim claim(lock, number);
    if (claim.held()) removeAll(partial, "unfinished");
  }
}

}  // namespace survseq::grid
