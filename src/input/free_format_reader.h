#pragma once

// Free-format reading of a text made of numbered lines, the way the parameter file
// is read.
//
// Every read starts at the beginning of the next unread line and takes the number of
// values it asks for, continuing onto the following lines when one runs short (empty
// lines on the way count as blanks); whatever remains on its last line is dropped.
// Values are separated by blanks or tabs, or by one comma with or without blanks
// around it. A read of numbers also understands "r*c" for r copies of c and "r*" for
// r values left as they are; every read understands a comma with no value before it
// (two commas in a row, or a comma that opens the read) for one value left as it is,
// and a slash, which ends the read and leaves the values not yet read as they are.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>

namespace survseq::input {

class FreeFormatReader {
 public:
  // A data line longer than this is refused rather than held in memory.
  static constexpr size_t kMaxLineLength = size_t{1} << 20;

  explicit FreeFormatReader(std::istream& in) : in_(in) {}

  // Passes over the next line, whatever it holds.
  void skipLine();

  void readWholeNumbers(std::span<int32_t> values);
  void readReals(std::span<float> values);

  // One text value: quoted with apostrophes or quotation marks (it may then hold
  // blanks and separators, and a doubled quote stands for one), or bare, ending at
  // the first blank, comma or slash. Repeat counts do not apply to it: "3*x" and "1*"
  // are texts as they stand.
  void readText(std::string& value);

  // Whether the last text value was bare and ended at a slash, which may have cut short a
  // name meant to hold one.
  bool textCutAtSlash() const { return textCutAtSlash_; }

  // Physical number of the last line taken from the input.
  int32_t lineNumber() const { return lineNumber_; }

  // Reads and skips made so far: the position in a file laid out line by line, where
  // a read continued over several lines still counts once.
  int32_t readsDone() const { return readsDone_; }

 private:
  struct Item {
    enum class Kind { Value, Unchanged, EndOfRead };
    Kind kind = Kind::EndOfRead;
    std::string text;
    int32_t copies = 1;
  };

  template <typename Store>
  void read(size_t count, bool textValues, Store store);
  Item nextItem(bool textValues);
  Item scanConstant(bool textValues);
  std::string scanQuoted();
  std::string scanBare();
  // Makes the next line of the input the present one; ends the run at end of input.
  void takeLine();
  // Moves to the next line of the input, keeping its text when `keep` is set; false
  // at end of input.
  bool advanceLine(bool keep);
  [[noreturn]] void endOfInput() const;

  std::istream& in_;
  std::string line_;
  size_t position_ = 0;
  int32_t lineNumber_ = 0;
  int32_t readsDone_ = 0;
  // A comma met now would stand for a value left unchanged: true at the start of a
  // read and right after a separating comma.
  bool commaMeansUnchanged_ = false;
  bool lastValueBare_ = false;
  bool textCutAtSlash_ = false;
};

}  // namespace survseq::input
