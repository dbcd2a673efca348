#include "input/keyed_values.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "input/keyed_vocabulary.h"
#include "report/message_text.h"
#include "report/run_error.h"

namespace survseq::input {

namespace {

const char* typeName(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::table:
      return "a table";
    case toml::node_type::array:
      return "an array";
    case toml::node_type::string:
      return "a string";
    case toml::node_type::integer:
      return "a whole number";
    case toml::node_type::floating_point:
      return "a real number";
    case toml::node_type::boolean:
      return "true or false";
    default:
      return "a date or time";
  }
}

size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// A number of the document as a finite float in `value`; otherwise what is wrong with it.
std::optional<std::string> realFault(const toml::node& node, float& value) {
  double number = 0.0;
  if (const auto* whole = node.as_integer()) {
    number = static_cast<double>(whole->get());
  } else if (const auto* real = node.as_floating_point()) {
    number = real->get();
  } else {
    return std::string("must be a number, not ") + typeName(node);
  }
  if (!std::isfinite(number)) return std::string("must be a finite number");
  if (std::fabs(number) > double(std::numeric_limits<float>::max())) {
    return std::string("is beyond single precision (at most 3.4e38 in magnitude)");
  }
  value = static_cast<float>(number);
  return std::nullopt;
}

// A whole number of the document as an int32_t in `value`; otherwise what is wrong with it.
std::optional<std::string> wholeFault(const toml::node& node, int32_t& value) {
  const auto* whole = node.as_integer();
  if (whole == nullptr) return std::string("must be a whole number, not ") + typeName(node);
  const int64_t number = whole->get();
  if (number < std::numeric_limits<int32_t>::min() ||
      number > std::numeric_limits<int32_t>::max()) {
    return "is " + std::to_string(number) + "; it must lie between -2147483648 and 2147483647";
  }
  value = static_cast<int32_t>(number);
  return std::nullopt;
}

std::string countText(size_t minLength, size_t maxLength) {
  if (minLength == maxLength) return std::to_string(minLength);
  return std::to_string(minLength) + " to " + std::to_string(maxLength);
}

// The known key nearest to `key` by edit distance, empty when none is near.
std::string nearestKey(std::string_view key, std::span<const std::string_view> known) {
  std::string best;
  size_t bestDistance = std::max<size_t>(2, key.size() / 3) + 1;
  for (const std::string_view candidate : known) {
    const size_t distance = editDistance(key, candidate);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = candidate;
    }
  }
  return best;
}

}  // namespace

std::string sourceLocation(const std::string& fileName, const toml::source_region& where) {
  const auto line = where.begin.line == 0 ? 1u : where.begin.line;
  const auto column = where.begin.column == 0 ? 1u : where.begin.column;
  return fileName + ":" + std::to_string(line) + ":" + std::to_string(column) + ": ";
}

KeyedTable::KeyedTable(const toml::table& table, std::string path, const std::string& fileName)
    : table_(table), path_(std::move(path)), fileName_(fileName) {
  const std::string_view name = std::string_view(path_).substr(0, path_.find('['));
  const std::span<const std::string_view> known = keysOfTable(name);
  for (const auto& [key, node] : table_) {
    if (std::find(known.begin(), known.end(), key.str()) != known.end()) continue;
    std::string message = std::string(node.is_table() ? "unknown table" : "unknown key");
    // A key of another table is most likely in the wrong place rather than misspelt.
    std::string hint = whereKeyBelongs(key.str(), name);
    if (hint.empty()) {
      const std::string near = nearestKey(key.str(), known);
      if (!near.empty()) hint = "did you mean '" + near + "'?";
    }
    if (!hint.empty()) message += "; " + hint;
    throw RunError(sourceLocation(fileName_, key.source()) + keyPath(key.str()) + ": " + message);
  }
}

std::string KeyedTable::keyPath(std::string_view key) const {
  std::string shown = report::echoedValue(key);
  return path_.empty() ? shown : path_ + "." + shown;
}

void KeyedTable::fail(std::string_view key, const std::string& message) const {
  const toml::node* node = table_.get(key);
  const toml::source_region& where = node != nullptr ? node->source() : table_.source();
  throw RunError(sourceLocation(fileName_, where) + keyPath(key) + ": " + message);
}

void KeyedTable::atKey(std::string_view key, const std::function<void()>& check) const {
  try {
    check();
  } catch (const RunError& error) {
    fail(key, error.what());
  }
}

void KeyedTable::require(std::string_view key, const std::string& why) const {
  if (!has(key)) fail(key, "missing; " + why);
}

void KeyedTable::refuse(std::string_view key, const std::string& why) const {
  if (has(key)) fail(key, why);
}

std::optional<float> KeyedTable::real(std::string_view key) const {
  const toml::node* node = table_.get(key);
  if (node == nullptr) return std::nullopt;
  float value = 0.0f;
  if (const auto fault = realFault(*node, value)) fail(key, *fault);
  return value;
}

std::optional<int32_t> KeyedTable::whole(std::string_view key) const {
  const toml::node* node = table_.get(key);
  if (node == nullptr) return std::nullopt;
  int32_t value = 0;
  if (const auto fault = wholeFault(*node, value)) fail(key, *fault);
  return value;
}

std::optional<std::string> KeyedTable::text(std::string_view key) const {
  const toml::node* node = table_.get(key);
  if (node == nullptr) return std::nullopt;
  const auto* text = node->as_string();
  if (text == nullptr) fail(key, std::string("must be a string, not ") + typeName(*node));
  return text->get();
}

std::optional<bool> KeyedTable::flag(std::string_view key) const {
  const toml::node* node = table_.get(key);
  if (node == nullptr) return std::nullopt;
  const auto* flag = node->as_boolean();
  if (flag == nullptr) fail(key, std::string("must be true or false, not ") + typeName(*node));
  return flag->get();
}

namespace {

template <typename Value, typename Convert>
std::vector<Value> arrayValues(const KeyedTable& owner, const toml::node& node,
                               std::string_view key, size_t minLength, size_t maxLength,
                               Convert convert) {
  const toml::array* array = node.as_array();
  if (array == nullptr) {
    owner.fail(key, std::string("must be an array, not ") + typeName(node));
  }
  if (array->size() < minLength || array->size() > maxLength) {
    owner.fail(key, "has " + std::to_string(array->size()) + " value" +
                        (array->size() == 1 ? "" : "s") + "; " + countText(minLength, maxLength) +
                        " are needed");
  }
  std::vector<Value> values(array->size());
  for (size_t i = 0; i < array->size(); ++i) {
    const toml::node& element = *array->get(i);
    if (const auto fault = convert(element, values[i])) {
      throw RunError(sourceLocation(owner.fileName(), element.source()) + owner.keyPath(key) +
                     ": value " + std::to_string(i + 1) + " " + *fault);
    }
  }
  return values;
}

}  // namespace

std::optional<std::vector<float>> KeyedTable::reals(std::string_view key, size_t minLength,
                                                    size_t maxLength) const {
  const toml::node* node = table_.get(key);
  if (node == nullptr) return std::nullopt;
  return arrayValues<float>(*this, *node, key, minLength, maxLength, realFault);
}

std::optional<std::vector<int32_t>> KeyedTable::wholes(std::string_view key, size_t minLength,
                                                       size_t maxLength) const {
  const toml::node* node = table_.get(key);
  if (node == nullptr) return std::nullopt;
  return arrayValues<int32_t>(*this, *node, key, minLength, maxLength, wholeFault);
}

const toml::table* KeyedTable::table(std::string_view key) const {
  const toml::node* node = table_.get(key);
  if (node == nullptr) return nullptr;
  if (!node->is_table()) fail(key, std::string("must be a table, not ") + typeName(*node));
  return node->as_table();
}

const toml::array* KeyedTable::tableArray(std::string_view key) const {
  const toml::node* node = table_.get(key);
  if (node == nullptr) return nullptr;
  const toml::array* array = node->as_array();
  if (array == nullptr || !array->is_array_of_tables()) {
    fail(key, std::string("must be an array of tables ([[") + std::string(key) + "]]), not " +
                  typeName(*node));
  }
  return array;
}

}  // namespace survseq::input
