#include "toml_list.h"

#include <algorithm>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace survseq::r {

namespace {

bool fitsInteger(int64_t value) {
  // NA_integer_ is INT_MIN, so R's integers stop one above it.
  return value > std::numeric_limits<int32_t>::min() &&
         value <= std::numeric_limits<int32_t>::max();
}

SEXP nodeToR(const toml::node& node);

// An array of scalars of one kind as one vector: integers when every value is a whole
// number that fits, doubles when all are numbers, otherwise a list.
SEXP arrayToR(const toml::array& array) {
  const bool allNumbers = std::all_of(array.begin(), array.end(), [](const toml::node& n) {
    return n.is_integer() || n.is_floating_point();
  });
  if (allNumbers && !array.empty()) {
    const bool allWhole = std::all_of(array.begin(), array.end(), [](const toml::node& n) {
      return n.is_integer() && fitsInteger(n.as_integer()->get());
    });
    if (allWhole) {
      cpp11::writable::integers values;
      for (const toml::node& n : array) values.push_back(static_cast<int>(n.as_integer()->get()));
      return values;
    }
    cpp11::writable::doubles values;
    for (const toml::node& n : array) values.push_back(n.value<double>().value_or(NA_REAL));
    return values;
  }
  if (!array.empty() && array.is_homogeneous(toml::node_type::string)) {
    cpp11::writable::strings values;
    for (const toml::node& n : array) values.push_back(n.as_string()->get());
    return values;
  }
  if (!array.empty() && array.is_homogeneous(toml::node_type::boolean)) {
    cpp11::writable::logicals values;
    for (const toml::node& n : array) values.push_back(cpp11::r_bool(n.as_boolean()->get()));
    return values;
  }
  cpp11::writable::list values;
  for (const toml::node& n : array) values.push_back(nodeToR(n));
  return values;
}

SEXP nodeToR(const toml::node& node) {
  if (const toml::table* table = node.as_table()) return tomlToList(*table);
  if (const toml::array* array = node.as_array()) return arrayToR(*array);
  if (const auto* whole = node.as_integer()) {
    if (fitsInteger(whole->get())) return cpp11::as_sexp(static_cast<int>(whole->get()));
    return cpp11::as_sexp(static_cast<double>(whole->get()));
  }
  if (const auto* real = node.as_floating_point()) return cpp11::as_sexp(real->get());
  if (const auto* text = node.as_string()) return cpp11::as_sexp(text->get().c_str());
  if (const auto* flag = node.as_boolean()) return cpp11::as_sexp(flag->get());
  // Dates and times mean nothing in a design; the reader names them as errors.
  std::ostringstream shown;
  shown << toml::toml_formatter(node);
  return cpp11::as_sexp(shown.str().c_str());
}

bool before(const toml::source_position& a, const toml::source_position& b) {
  return a.line != b.line ? a.line < b.line : a.column < b.column;
}

}  // namespace

SEXP tomlToList(const toml::table& table) {
  // The table keeps its keys sorted; R shows them in the order of the file.
  std::vector<std::pair<std::string, const toml::node*>> entries;
  for (const auto& [key, node] : table) entries.emplace_back(std::string(key.str()), &node);
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return before(a.second->source().begin, b.second->source().begin);
  });
  // Sized from the start: an empty table ([[statistics]] with every key left to its
  // default) is an empty named list, where a list never grown would be R's NULL.
  cpp11::writable::list values(static_cast<R_xlen_t>(0));
  cpp11::writable::strings names(static_cast<R_xlen_t>(0));
  for (const auto& [key, node] : entries) {
    values.push_back(nodeToR(*node));
    names.push_back(key);
  }
  values.names() = names;
  return values;
}

}  // namespace survseq::r
