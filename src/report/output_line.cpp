#include "report/output_line.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

namespace survseq::report {

namespace {

// Wide enough for any float with the decimals a report uses.
constexpr int kWidestField = 60;

std::string rightAligned(std::string_view text, int width) {
  if (static_cast<int>(text.size()) > width) {
    return std::string(static_cast<size_t>(width), '*');
  }
  return std::string(static_cast<size_t>(width) - text.size(), ' ') + std::string(text);
}

// Non-finite values are written as words, right-aligned like any other number.
const char* nonFiniteWord(double value) {
  if (std::isnan(value)) return "NaN";
  return value > 0 ? "Infinity" : "-Infinity";
}

}  // namespace

std::string formatInteger(int32_t value, int width) {
  return rightAligned(std::to_string(value), width);
}

std::string formatFixed(float value, int width, int decimals) {
  const double x = value;
  if (!std::isfinite(x)) return rightAligned(nonFiniteWord(x), width);
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, x);
  if (length < 0 || length >= static_cast<int>(sizeof buffer)) {
    return std::string(static_cast<size_t>(width), '*');
  }
  return rightAligned(std::string_view(buffer, static_cast<size_t>(length)), width);
}

std::string formatPlainReal(float value) {
  const double x = value;
  if (!std::isfinite(x)) return rightAligned(nonFiniteWord(x), kPlainRealWidth);

  // Round to seven significant digits first: the form depends on the rounded value,
  // so that 0.09999999 is written as 0.1000000 and 9999999.6 in exponent form.
  char scientific[32];
  std::snprintf(scientific, sizeof scientific, "%.6e", x);  // [-]d.dddddde[+-]XX
  const char* exponentMark = std::strchr(scientific, 'e');
  const int exponent = std::atoi(exponentMark + 1);
  const bool isZero = x == 0.0;

  char buffer[40];
  if (!isZero && exponent >= -1 && exponent <= 6) {
    std::snprintf(buffer, sizeof buffer, "%#11.*f    ", 6 - exponent, x);
    return buffer;
  }
  // 0.dddddddE+XX: the seven digits of d.dddddd, the exponent one larger.
  std::string digits;
  for (const char* c = scientific; c != exponentMark; ++c) {
    if (*c >= '0' && *c <= '9') digits += *c;
  }
  const bool negative = std::signbit(x) && !isZero;
  const int shownExponent = isZero ? 0 : exponent + 1;
  std::snprintf(buffer, sizeof buffer, "%s0.%sE%c%02d", negative ? "-" : "", digits.c_str(),
                shownExponent < 0 ? '-' : '+', std::abs(shownExponent));
  return rightAligned(buffer, kPlainRealWidth);
}

void PlainItem::appendTo(std::string& line) const {
  switch (kind_) {
    case Kind::Text:
      line += text_;
      break;
    case Kind::Integer:
      line += formatInteger(integer_, kPlainIntegerWidth);
      break;
    case Kind::Real:
      line += formatPlainReal(real_);
      break;
  }
}

std::string plainLine(std::initializer_list<PlainItem> items) {
  if (items.size() == 0) return {};  // a plain write with no items is an empty line
  std::string line = " ";
  for (const PlainItem& item : items) item.appendTo(line);
  return line;
}

void writePlainLine(std::ostream& out, std::initializer_list<PlainItem> items) {
  out << plainLine(items) << '\n';
}

LaidOutLine& LaidOutLine::text(std::string_view text) {
  current_ += text;
  return *this;
}

LaidOutLine& LaidOutLine::blanks(int count) {
  current_.append(static_cast<size_t>(count), ' ');
  return *this;
}

void LaidOutLine::appendField(const std::string& formatted, const std::string& whole) {
  // Only a field of asterisks is too narrow; the number then follows one blank.
  const bool widen = overflow_ == Overflow::Widen && !formatted.empty() && formatted.back() == '*';
  current_ += widen ? " " + whole.substr(whole.find_first_not_of(' ')) : formatted;
}

LaidOutLine& LaidOutLine::integer(int32_t value, int width) {
  const std::string formatted = formatInteger(value, width);
  appendField(formatted, std::to_string(value));
  return *this;
}

LaidOutLine& LaidOutLine::fixed(float value, int width, int decimals) {
  const std::string formatted = formatFixed(value, width, decimals);
  const bool cut = !formatted.empty() && formatted.back() == '*';
  appendField(formatted, cut ? formatFixed(value, kWidestField, decimals) : formatted);
  return *this;
}

LaidOutLine& LaidOutLine::repeated(std::span<const float> values, int perLine,
                                   const FixedGroup& group) {
  int onThisLine = 0;
  for (float value : values) {
    if (onThisLine == perLine) {
      endLine();
      onThisLine = 0;
    }
    blanks(group.blanksBefore);
    fixed(value, group.width, group.decimals);
    blanks(group.blanksAfter);
    ++onThisLine;
  }
  return *this;
}

LaidOutLine& LaidOutLine::endLine() {
  finished_.push_back(std::move(current_));
  current_.clear();
  return *this;
}

std::vector<std::string> LaidOutLine::lines() const {
  std::vector<std::string> all = finished_;
  all.push_back(current_);
  return all;
}

void LaidOutLine::writeTo(std::ostream& out) const {
  for (const std::string& line : finished_) out << line << '\n';
  out << current_ << '\n';
}

}  // namespace survseq::report
