#pragma once

// The two kinds of line the program writes, to the console and to the report file
// alike.
//
// A plain line is one blank followed by its items with no separator: text as it
// stands, an integer right-aligned in 12 columns, a real in 15 columns with seven
// significant digits (fixed notation in 11 columns plus 4 blanks when
// 0.1 <= |x| < 1e7, otherwise 0.dddddddE+dd right-aligned in 15). A plain line
// without items is an empty line.
//
// A laid-out line is built from exactly its parts: texts, blanks, int(w), fixed(w.d),
// repeated groups that wrap after n values, and line ends.

#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace survseq::report {

inline constexpr int kPlainIntegerWidth = 12;
inline constexpr int kPlainRealWidth = 15;

// An integer right-aligned in `width` columns; `width` asterisks when it does not fit.
std::string formatInteger(int32_t value, int width);

// A real with `decimals` decimals right-aligned in `width` columns; `width`
// asterisks when it does not fit.
std::string formatFixed(float value, int width, int decimals);

// A real as a plain-line item: always 15 columns.
std::string formatPlainReal(float value);

class PlainItem {
 public:
  PlainItem(std::string_view text) : kind_(Kind::Text), text_(text) {}
  PlainItem(const char* text) : kind_(Kind::Text), text_(text) {}
  PlainItem(const std::string& text) : kind_(Kind::Text), text_(text) {}
  PlainItem(int32_t value) : kind_(Kind::Integer), integer_(value) {}
  PlainItem(float value) : kind_(Kind::Real), real_(value) {}

  void appendTo(std::string& line) const;

 private:
  enum class Kind { Text, Integer, Real };
  Kind kind_;
  std::string_view text_;
  int32_t integer_ = 0;
  float real_ = 0.0f;
};

// The text of a plain line, without its line end.
std::string plainLine(std::initializer_list<PlainItem> items);

void writePlainLine(std::ostream& out, std::initializer_list<PlainItem> items);

// The parts of a repeated group of reals: blanks, fixed(width.decimals), blanks.
struct FixedGroup {
  int blanksBefore = 0;
  int width = 0;
  int decimals = 0;
  int blanksAfter = 0;
};

// What a laid-out number does when it does not fit its field: fill it with asterisks (the
// original layout), or take the room it needs after one blank.
enum class Overflow { Asterisks, Widen };

class LaidOutLine {
 public:
  explicit LaidOutLine(Overflow overflow = Overflow::Asterisks) : overflow_(overflow) {}

  LaidOutLine& text(std::string_view text);
  LaidOutLine& blanks(int count);
  LaidOutLine& integer(int32_t value, int width);
  LaidOutLine& fixed(float value, int width, int decimals);
  // Writes one group per value; after `perLine` values, when values remain, a new
  // line begins, starting again with the group's first part.
  LaidOutLine& repeated(std::span<const float> values, int perLine, const FixedGroup& group);
  // The slash of a layout: ends the present line and starts the next.
  LaidOutLine& endLine();

  // Every line built so far, the last one included, each followed by a line end.
  void writeTo(std::ostream& out) const;
  std::vector<std::string> lines() const;

 private:
  // `formatted`, a number in its field; when that is asterisks and Overflow says widen, the
  // number `whole` after one blank instead.
  void appendField(const std::string& formatted, const std::string& whole);

  Overflow overflow_;
  std::vector<std::string> finished_;
  std::string current_;
};

}  // namespace survseq::report
