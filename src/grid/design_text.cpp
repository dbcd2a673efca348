#include "grid/design_text.h"

#include <algorithm>

#include "grid/scenarios.h"

namespace survseq::grid {

namespace {

bool isArrayOfTables(const toml::node& node) {
  const toml::array* array = node.as_array();
  return array != nullptr && !array->empty() &&
         std::all_of(array->begin(), array->end(),
                     [](const toml::node& element) { return element.is_table(); });
}

void writeTable(std::string& text, const toml::table& table, const std::string& path) {
  for (const auto& [key, node] : table) {
    if (node.is_table() || isArrayOfTables(node)) continue;
    text += keyText(key.str()) + " = " + valueText(node) + "\n";
  }
  for (const auto& [key, node] : table) {
    const std::string name = (path.empty() ? "" : path + ".") + keyText(key.str());
    if (const toml::table* nested = node.as_table()) {
      text += "\n[" + name + "]\n";
      writeTable(text, *nested, name);
    } else if (isArrayOfTables(node)) {
      for (const toml::node& element : *node.as_array()) {
        text += "\n[[" + name + "]]\n";
        writeTable(text, *element.as_table(), name);
      }
    }
  }
}

}  // namespace

std::string designText(const toml::table& design) {
  std::string text;
  writeTable(text, design, "");
  return text;
}

}  // namespace survseq::grid
