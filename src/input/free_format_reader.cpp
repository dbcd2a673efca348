#include "input/free_format_reader.h"

#include <algorithm>
#include <istream>
#include <streambuf>

#include "report/message_text.h"
#include "report/run_error.h"
#include "input/value_text.h"

namespace survseq::input {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isQuote(char c) { return c == '\'' || c == '"'; }

bool endsBareValue(char c) { return isBlank(c) || c == ',' || c == '/'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void FreeFormatReader::skipLine() {
  // A skipped line is not stored, so its length does not matter.
  if (!advanceLine(false)) endOfInput();
  ++readsDone_;
}

void FreeFormatReader::takeLine() {
  if (!advanceLine(true)) endOfInput();
}

bool FreeFormatReader::advanceLine(bool keep) {
  std::streambuf& source = *in_.rdbuf();
  line_.clear();
  position_ = 0;
  bool anything = false;
  for (auto c = source.sbumpc(); c != std::char_traits<char>::eof(); c = source.sbumpc()) {
    anything = true;
    if (c == '\n') break;
    if (!keep) continue;
    if (line_.size() == kMaxLineLength) {
      throw RunError("the line is longer than " + std::to_string(kMaxLineLength) + " characters",
                     lineNumber_ + 1);
    }
    line_ += std::char_traits<char>::to_char_type(c);
  }
  if (!anything) return false;
  ++lineNumber_;
  // A file written with carriage-return line ends reads like any other.
  if (!line_.empty() && line_.back() == '\r') line_.pop_back();
  return true;
}

void FreeFormatReader::endOfInput() const {
  throw RunError("unexpected end of input (the parameter file has 152 lines)", lineNumber_ + 1);
}

void FreeFormatReader::readWholeNumbers(std::span<int32_t> values) {
  read(values.size(), false, [&](size_t index, const std::string& text) {
    const ParsedValue<int32_t> parsed = parseWholeNumber(text);
    if (!parsed.value) throw RunError(parsed.problem, lineNumber_);
    values[index] = *parsed.value;
  });
}

void FreeFormatReader::readReals(std::span<float> values) {
  read(values.size(), false, [&](size_t index, const std::string& text) {
    const ParsedValue<float> parsed = parseReal(text);
    if (!parsed.value) throw RunError(parsed.problem, lineNumber_);
    values[index] = *parsed.value;
  });
}

void FreeFormatReader::readText(std::string& value) {
  lastValueBare_ = false;
  read(1, true, [&](size_t, const std::string& text) { value = text; });
  textCutAtSlash_ = lastValueBare_ && position_ < line_.size() && line_[position_] == '/';
}

template <typename Store>
void FreeFormatReader::read(size_t count, bool textValues, Store store) {
  takeLine();
  ++readsDone_;
  commaMeansUnchanged_ = true;
  size_t filled = 0;
  while (filled < count) {
    const Item item = nextItem(textValues);
    if (item.kind == Item::Kind::EndOfRead) break;
    // Copies beyond the values still needed are ignored like any surplus value.
    const size_t copies = std::min(static_cast<size_t>(item.copies), count - filled);
    for (size_t copy = 0; copy < copies; ++copy, ++filled) {
      if (item.kind == Item::Kind::Value) store(filled, item.text);
    }
  }
}

FreeFormatReader::Item FreeFormatReader::nextItem(bool textValues) {
  for (;;) {
    while (position_ < line_.size() && isBlank(line_[position_])) ++position_;
    if (position_ == line_.size()) {
      takeLine();
      continue;
    }
    const char c = line_[position_];
    if (c == '/') return {Item::Kind::EndOfRead, {}, 0};
    if (c == ',') {
      ++position_;
      if (commaMeansUnchanged_) return {Item::Kind::Unchanged, {}, 1};
      commaMeansUnchanged_ = true;
      continue;
    }
    commaMeansUnchanged_ = false;
    return scanConstant(textValues);
  }
}

FreeFormatReader::Item FreeFormatReader::scanConstant(bool textValues) {
  const size_t start = position_;
  const size_t digitsEnd = static_cast<size_t>(
      std::find_if_not(line_.begin() + static_cast<std::ptrdiff_t>(start), line_.end(), isDigit) -
      line_.begin());
  int32_t copies = 1;
  // A text value is taken literally: "3*x" is the text 3*x, not three copies of x.
  if (!textValues && digitsEnd > start && digitsEnd < line_.size() && line_[digitsEnd] == '*') {
    const ParsedValue<int32_t> factor =
        parseWholeNumber(std::string_view(line_).substr(start, digitsEnd - start));
    if (!factor.value || *factor.value < 1) {
      const std::string token = scanBare();
      throw RunError("the repeat factor in '" + report::echoedValue(token) +
                         "' must be a positive whole number",
                     lineNumber_);
    }
    copies = *factor.value;
    position_ = digitsEnd + 1;
    if (position_ == line_.size() || endsBareValue(line_[position_])) {
      return {Item::Kind::Unchanged, {}, copies};
    }
  }
  lastValueBare_ = !(textValues && isQuote(line_[position_]));
  std::string text = lastValueBare_ ? scanBare() : scanQuoted();
  return {Item::Kind::Value, std::move(text), copies};
}

std::string FreeFormatReader::scanBare() {
  const size_t start = position_;
  while (position_ < line_.size() && !endsBareValue(line_[position_])) ++position_;
  return line_.substr(start, position_ - start);
}

std::string FreeFormatReader::scanQuoted() {
  const char quote = line_[position_++];
  std::string text;
  while (position_ < line_.size()) {
    const char c = line_[position_++];
    if (c != quote) {
      text += c;
    } else if (position_ < line_.size() && line_[position_] == quote) {
      text += quote;
      ++position_;
    } else {
      return text;
    }
  }
  throw RunError(std::string("the quoted text has no closing ") +
                     (quote == '\'' ? "apostrophe" : "quotation mark"),
                 lineNumber_);
}

}  // namespace survseq::input
