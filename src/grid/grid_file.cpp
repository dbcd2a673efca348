#include "grid/grid_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "input/keyed_design_file.h"
#include "report/run_error.h"

namespace survseq::grid {

namespace {

std::string where(const std::string& path, const toml::source_region& source) {
  return path + ":" + std::to_string(source.begin.line) + ":" +
         std::to_string(source.begin.column) + ": ";
}

[[noreturn]] void refuse(const std::string& path, const toml::node& node, const std::string& key,
                         const std::string& message) {
  throw RunError(where(path, node.source()) + key + ": " + message);
}

struct PlacedAxis {
  GridAxis axis;
  toml::source_position position;
};

// Every array under [axes], with its dotted key; nested tables add their names.
void collectAxes(const std::string& path, const toml::table& table, const std::string& prefix,
                 std::vector<PlacedAxis>& axes) {
  for (const auto& [name, node] : table) {
    const std::string key =
        prefix.empty() ? std::string(name.str()) : prefix + "." + std::string(name.str());
    if (const toml::table* nested = node.as_table()) {
      collectAxes(path, *nested, key, axes);
      continue;
    }
    const toml::array* values = node.as_array();
    if (values == nullptr)
      refuse(path, node, "axes." + key, "must be an array of the values to try");
    if (values->empty()) refuse(path, node, "axes." + key, "must hold at least one value");
    for (const PlacedAxis& other : axes) {
      if (other.axis.key == key) refuse(path, node, "axes." + key, "is given twice");
    }
    GridAxis axis{key, *values, {}};
    for (const toml::node& value : *values) axis.positions.push_back(value.source().begin);
    axes.push_back({std::move(axis), node.source().begin});
  }
}

}  // namespace

std::string fileBytes(const std::string& path, const std::string& what) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    throw RunError("the " + what + " '" + path + "' is a directory");
  }
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) {
    std::string message = "could not open the " + what + " '" + path + "'";
    if (errno != 0) message += std::string(": ") + std::strerror(errno);
    throw RunError(message);
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  if (file.bad()) throw RunError("could not read the " + what + " '" + path + "'");
  return std::move(bytes).str();
}

std::string digestOf(const std::vector<std::string>& parts) {
  uint64_t hash = 14695981039346656037ULL;
  const auto mix = [&hash](unsigned char byte) {
    hash ^= byte;
    hash *= 1099511628211ULL;
  };
  for (const std::string& part : parts) {
    for (const char c : std::to_string(part.size()) + ":") mix(static_cast<unsigned char>(c));
    for (const char c : part) mix(static_cast<unsigned char>(c));
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

GridFile readGridFile(const std::string& path) {
  GridFile grid;
  grid.path = path;
  const std::string text = fileBytes(path, "grid file");
  toml::table document;
  try {
    document = toml::parse(text, path);
  } catch (const toml::parse_error& error) {
    throw RunError(where(path, error.source()) + std::string(error.description()));
  }

  const toml::node* base = document.get("base");
  if (base == nullptr) throw RunError(path + ": base: missing; name the base design file");
  if (!base->is_string()) refuse(path, *base, "base", "must be the name of a keyed design file");
  const toml::node* axes = document.get("axes");
  if (axes == nullptr) throw RunError(path + ": axes: missing; a grid needs at least one axis");
  if (!axes->is_table()) refuse(path, *axes, "axes", "must be a table of design keys");
  for (const auto& [name, node] : document) {
    if (name != "base" && name != "axes") {
      refuse(path, node, std::string(name.str()), "unknown key; a grid file has 'base' and [axes]");
    }
  }

  std::vector<PlacedAxis> placed;
  collectAxes(path, *axes->as_table(), "", placed);
  if (placed.empty())
    refuse(path, *axes, "axes", "names no design key; a grid needs at least one axis");
  std::stable_sort(placed.begin(), placed.end(), [](const PlacedAxis& a, const PlacedAxis& b) {
    return a.position < b.position;
  });
  for (PlacedAxis& axis : placed) grid.axes.push_back(std::move(axis.axis));

  const std::filesystem::path baseName(base->as_string()->get());
  grid.basePath = baseName.is_absolute()
                      ? baseName.string()
                      : (std::filesystem::path(path).parent_path() / baseName).string();
  grid.baseText = fileBytes(grid.basePath, "base design file");
  std::istringstream baseStream(grid.baseText);
  input::parseKeyedDesign(baseStream, grid.basePath);  // a syntax error is refused here
  grid.digest = digestOf({text, grid.baseText});
  return grid;
}

}  // namespace survseq::grid
