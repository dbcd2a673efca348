#include "grid/scenario_digest.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

#include "grid/grid_file.h"
#include "grid/scenario_folder.h"

namespace survseq::grid {

namespace {

constexpr size_t kHashDigits = 16;

std::optional<std::string> bytesOf(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

bool isHash(const std::string& text) {
  return text.size() == kHashDigits &&
         text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// `text` with its last line, the seal, made of the lines before it.
std::string sealed(const std::string& text) { return text + digestOf({text}) + '\n'; }

// The lines of `text`, which ends with a line break unless it is cut.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

void addFault(std::string& faults, const std::string& fault) {
  faults += (faults.empty() ? "" : ", ") + fault;
}

// The faults of the files that the lines between the first and the seal record.
std::string fileFaults(const fs::path& folder, const std::vector<std::string>& lines) {
  std::string faults;
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    std::istringstream line(lines[i]);
    std::string hash, name;
    size_t size = 0;
    line >> hash >> size;
    line.get();
    std::getline(line, name);
    const std::optional<std::string> bytes = bytesOf(folder / name);
    if (!bytes) {
      addFault(faults, name + " is missing");
    } else if (bytes->size() < size) {
      addFault(faults, name + " is truncated");
    } else if (bytes->size() != size || digestOf({*bytes}) != hash) {
      addFault(faults, name + " is altered");
    }
  }
  return faults;
}

}  // namespace

std::string folderDigestText(const fs::path& folder, const std::string& gridDigest) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name != kDigestName) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::string text = gridDigest + '\n';
  for (const std::string& name : names) {
    const std::string bytes = bytesOf(folder / name).value_or("");
    text += digestOf({bytes}) + ' ' + std::to_string(bytes.size()) + ' ' + name + '\n';
  }
  return sealed(text);
}

FolderCheck checkFolder(const fs::path& folder, const std::string& gridDigest, bool verifyFiles) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) return {FolderState::Missing, ""};
  const std::optional<std::string> text = bytesOf(folder / kDigestName);
  if (!text) return {FolderState::Damaged, std::string(kDigestName) + " is missing"};
  const std::vector<std::string> lines = linesOf(*text);
  const size_t sealLength = kHashDigits + 1;
  const bool intact = lines.size() >= 2 && text->ends_with('\n') && isHash(lines.back()) &&
                      sealed(text->substr(0, text->size() - sealLength)) == *text;
  // A folder of an earlier version holds the grid's digest alone.
  const bool onlyGrid = lines.size() == 1 && isHash(lines[0]) && text->ends_with('\n');
  if (!lines.empty() && isHash(lines[0]) && lines[0] != gridDigest && (intact || onlyGrid)) {
    return {FolderState::OtherGrid, ""};
  }
  if (!intact) {
    return {FolderState::Damaged,
            std::string(kDigestName) + (text->empty()  ? " is empty"
                                        : onlyGrid     ? " records none of the files"
                                                       : " is altered")};
  }
  if (!verifyFiles) return {FolderState::Finished, ""};
  const std::string faults = fileFaults(folder, lines);
  return {faults.empty() ? FolderState::Finished : FolderState::Damaged, faults};
}

}  // namespace survseq::grid
