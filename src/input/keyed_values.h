#pragma once

// One table of a keyed design file as the reader sees it: its known keys (anything else
// is refused, with the nearest known key suggested), typed values and the errors that
// name the file, line, column and dotted key of a value.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <toml++/toml.h>

namespace survseq::input {

class KeyedTable {
 public:
  // Refuses at once every key of `table` that its table does not know
  // (keyed_vocabulary.h); `path` is the table's dotted name ("" for the document,
  // "accrual", "statistics[2]").
  KeyedTable(const toml::table& table, std::string path, const std::string& fileName);

  bool has(std::string_view key) const { return table_.contains(key); }
  // The dotted name of `key` in this table.
  std::string keyPath(std::string_view key) const;

  // Values of `key`; std::nullopt when absent. A value of the wrong type, or outside the
  // range of the stored type, is an error.
  std::optional<float> real(std::string_view key) const;  // finite single-precision
  std::optional<int32_t> whole(std::string_view key) const;
  std::optional<std::string> text(std::string_view key) const;
  std::optional<bool> flag(std::string_view key) const;
  // An array of reals (whole numbers allowed) of minLength..maxLength values.
  std::optional<std::vector<float>> reals(std::string_view key, size_t minLength,
                                          size_t maxLength) const;
  std::optional<std::vector<int32_t>> wholes(std::string_view key, size_t minLength,
                                             size_t maxLength) const;
  // A sub-table, or an array of tables.
  const toml::table* table(std::string_view key) const;
  const toml::array* tableArray(std::string_view key) const;

  // Throws the error "file:line:col: path.key: message" at the value of `key`, or at this
  // table when the key is absent.
  [[noreturn]] void fail(std::string_view key, const std::string& message) const;
  // Runs `check`, one of the positional reader's limits, and turns the RunError it may
  // throw into an error at `key`.
  void atKey(std::string_view key, const std::function<void()>& check) const;
  // The key is required: an error when absent.
  void require(std::string_view key, const std::string& why) const;
  // Refuses `key` when present: it has no meaning in this design.
  void refuse(std::string_view key, const std::string& why) const;

  const std::string& fileName() const { return fileName_; }

 private:
  const toml::table& table_;
  std::string path_;
  const std::string& fileName_;
};

// "file:line:col: " of a source position; 1:1 when the position is unknown.
std::string sourceLocation(const std::string& fileName, const toml::source_region& where);

}  // namespace survseq::input
