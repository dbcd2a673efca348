#include "grid/scenarios.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <sstream>
#include <string_view>

#include "input/keyed_design_file.h"
#include "report/run_error.h"

namespace survseq::grid {

namespace {

// Puts `value` at the dotted `key` of `design`, making the tables on the way.
void replaceKey(toml::table& design, const std::string& key, const toml::node& value) {
  toml::table* table = &design;
  size_t start = 0;
  for (size_t dot = key.find('.'); dot != std::string::npos; dot = key.find('.', start)) {
    const std::string name = key.substr(start, dot - start);
    toml::node* next = table->get(name);
    if (next == nullptr) next = &table->insert(name, toml::table{}).first->second;
    table = next->as_table();
    if (table == nullptr) {
      throw RunError("axes." + key + ": '" + key.substr(0, dot) +
                     "' is not a table in the base design");
    }
    start = dot + 1;
  }
  table->insert_or_assign(key.substr(start), value);
}

// The reader's message "base:line:col: key: ..." about a key an axis set, located at the
// axis value in the grid file instead; other messages as they are.
std::string locatedInGrid(const GridFile& grid, int32_t number, const std::string& message) {
  const std::string prefix = grid.basePath + ":";
  if (message.rfind(prefix, 0) != 0) return message;
  const size_t keyStart = message.find(": ", prefix.size());
  if (keyStart == std::string::npos) return message;
  const std::string rest = message.substr(keyStart + 2);
  for (size_t a = 0; a < grid.axes.size(); ++a) {
    const std::string& key = grid.axes[a].key;
    if (rest.rfind(key, 0) == 0 && rest.size() > key.size() &&
        std::string_view(":.[").find(rest[key.size()]) != std::string_view::npos) {
      const toml::source_position at =
          grid.axes[a].positions[static_cast<size_t>(axisIndices(grid, number)[a])];
      return grid.path + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
             rest;
    }
  }
  return message;
}

}  // namespace

int32_t scenarioCount(const GridFile& grid) {
  int64_t count = 1;
  for (const GridAxis& axis : grid.axes) {
    count *= static_cast<int64_t>(axis.values.size());
    if (count > kMaxScenarios) {
      throw RunError(grid.path + ": the axes make more than " + std::to_string(kMaxScenarios) +
                     " scenarios");
    }
  }
  return static_cast<int32_t>(count);
}

std::vector<int32_t> axisIndices(const GridFile& grid, int32_t number) {
  std::vector<int32_t> indices(grid.axes.size());
  int64_t rest = number - 1;
  for (size_t a = grid.axes.size(); a-- > 0;) {
    const auto size = static_cast<int64_t>(grid.axes[a].values.size());
    indices[a] = static_cast<int32_t>(rest % size);
    rest /= size;
  }
  return indices;
}

const toml::node& axisValue(const GridFile& grid, size_t axis, int32_t number) {
  const auto index = static_cast<size_t>(axisIndices(grid, number)[axis]);
  return *grid.axes[axis].values.get(index);
}

toml::table scenarioDesign(const GridFile& grid, int32_t number) {
  std::istringstream base(grid.baseText);
  toml::table design = input::parseKeyedDesign(base, grid.basePath);
  for (size_t a = 0; a < grid.axes.size(); ++a) {
    replaceKey(design, grid.axes[a].key, axisValue(grid, a, number));
  }
  return design;
}

std::string keyText(std::string_view key) {
  const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
  });
  return bare ? std::string(key) : valueText(toml::value<std::string>(std::string(key)));
}

std::string valueText(const toml::node& value) {
  if (const toml::array* values = value.as_array()) {
    std::string text = "[";
    for (size_t i = 0; i < values->size(); ++i) {
      text += (i > 0 ? ", " : "") + valueText(*values->get(i));
    }
    return text + "]";
  }
  if (const toml::table* table = value.as_table()) {
    std::string text = "{";
    for (const auto& [key, element] : *table) {
      text += (text.size() > 1 ? ", " : " ") + keyText(key.str()) + " = " + valueText(element);
    }
    return text + " }";
  }
  if (const auto* real = value.as_floating_point(); real != nullptr && std::isfinite(real->get())) {
    char digits[64];
    const auto end = std::to_chars(digits, digits + sizeof digits, real->get()).ptr;
    std::string text(digits, end);  // the shortest that reads back, with a point as TOML has it
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
  }
  std::ostringstream text;
  text << toml::toml_formatter(
      value, toml::toml_formatter::default_flags & ~toml::format_flags::indentation);
  return std::move(text).str();
}

std::string scenarioLabel(const GridFile& grid, int32_t number) {
  std::string label;
  for (size_t a = 0; a < grid.axes.size(); ++a) {
    if (a > 0) label += ", ";
    label += grid.axes[a].key + " = " + valueText(axisValue(grid, a, number));
  }
  return label;
}

void checkScenarios(const GridFile& grid,
                    const std::function<void(int32_t, const input::DesignParameters&)>& look) {
  const int32_t count = scenarioCount(grid);
  for (int32_t n = 1; n <= count; ++n) {
    input::DesignParameters design;
    try {
      input::readKeyedDesign(scenarioDesign(grid, n), grid.basePath, design);
    } catch (const RunError& error) {
      throw RunError(grid.path + ": scenario " + std::to_string(n) + " of " +
                     std::to_string(count) + " (" + scenarioLabel(grid, n) +
                     "): " + locatedInGrid(grid, n, error.what()));
    }
    look(n, design);
  }
}

}  // namespace survseq::grid
