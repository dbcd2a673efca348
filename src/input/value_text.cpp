#include "input/value_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "report/message_text.h"

namespace survseq::input {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isSign(char c) { return c == '+' || c == '-'; }

// The value as the message shows it: cut short and with control bytes escaped.
std::string inQuotes(std::string_view text) { return "'" + report::echoedValue(text) + "'"; }

// Every double below this rounds to a finite float: it is FLT_MAX plus half a unit
// in its last place, (2^25 - 1) * 2^103, which a double holds exactly.
constexpr double kFloatRoundingLimit = double(std::numeric_limits<float>::max()) + 0x1p103;

// Exponents are followed only this far; beyond it every value has long left the
// range of a double.
constexpr int64_t kExponentClamp = 1'000'000;

size_t skipDigits(std::string_view text, size_t position) {
  while (position < text.size() && isDigit(text[position])) ++position;
  return position;
}

// A real whose form has been checked, rewritten for std::from_chars (which knows
// neither a leading plus nor the exponent letter D), with the decimal exponent of
// its leading nonzero digit, which tells an underflow from an overflow.
struct RealForm {
  std::string text;
  int64_t leadingExponent = 0;
};

std::optional<RealForm> checkedRealForm(std::string_view text) {
  const size_t signEnd = (!text.empty() && isSign(text[0])) ? 1 : 0;
  const size_t integerEnd = skipDigits(text, signEnd);
  size_t mantissaEnd = integerEnd;
  if (mantissaEnd < text.size() && text[mantissaEnd] == '.')
    mantissaEnd = skipDigits(text, mantissaEnd + 1);
  const size_t digitCount = mantissaEnd - signEnd - (mantissaEnd > integerEnd ? 1 : 0);
  if (digitCount == 0) return std::nullopt;

  RealForm form;
  const size_t keptStart = text[0] == '+' ? 1 : 0;
  form.text = std::string(text.substr(keptStart, mantissaEnd - keptStart));

  const auto integerDigits = text.substr(signEnd, integerEnd - signEnd);
  const size_t firstNonzero = integerDigits.find_first_not_of('0');
  if (firstNonzero != std::string_view::npos) {
    form.leadingExponent = static_cast<int64_t>(integerDigits.size() - firstNonzero) - 1;
  } else if (mantissaEnd > integerEnd) {
    const auto fraction = text.substr(integerEnd + 1, mantissaEnd - integerEnd - 1);
    form.leadingExponent =
        -static_cast<int64_t>(std::min(fraction.find_first_not_of('0'), fraction.size())) - 1;
  }
  if (mantissaEnd == text.size()) return form;

  const char mark = text[mantissaEnd];
  if (mark != 'E' && mark != 'e' && mark != 'D' && mark != 'd') return std::nullopt;
  const size_t exponentSignEnd = (mantissaEnd + 1 < text.size() && isSign(text[mantissaEnd + 1]))
                                     ? mantissaEnd + 2
                                     : mantissaEnd + 1;
  const size_t exponentEnd = skipDigits(text, exponentSignEnd);
  if (exponentEnd == exponentSignEnd || exponentEnd != text.size()) return std::nullopt;

  int64_t exponent = 0;
  for (size_t i = exponentSignEnd; i < exponentEnd; ++i) {
    exponent = std::min(exponent * 10 + (text[i] - '0'), kExponentClamp);
  }
  form.leadingExponent += text[mantissaEnd + 1] == '-' ? -exponent : exponent;
  form.text += 'e';
  form.text += text.substr(mantissaEnd + 1);
  return form;
}

}  // namespace

ParsedValue<int32_t> parseWholeNumber(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  const size_t digitsStart = (!text.empty() && isSign(text[0])) ? 1 : 0;
  if (digitsStart == text.size() || skipDigits(text, digitsStart) != text.size()) {
    return {std::nullopt, "expected a whole number, found " + inQuotes(text)};
  }
  // The magnitude is built in 64 bits and checked after every digit, so that any
  // number of digits is safe.
  const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
  int64_t magnitude = 0;
  for (size_t i = digitsStart; i < text.size(); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) {
      return {std::nullopt, "the whole number " + inQuotes(text) + " is outside the 32-bit range"};
    }
  }
  return {static_cast<int32_t>(negative ? -magnitude : magnitude), {}};
}

ParsedValue<float> parseReal(std::string_view text) {
  const std::optional<RealForm> form = checkedRealForm(text);
  if (!form) return {std::nullopt, "expected a number, found " + inQuotes(text)};

  double value = 0.0;
  const char* first = form->text.data();
  const char* last = first + form->text.size();
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  // A value too small even for a double is zero in single precision anyway.
  if (error == std::errc::result_out_of_range && form->leadingExponent < 0) {
    return {text[0] == '-' ? -0.0f : 0.0f, {}};
  }
  if (error != std::errc{} || end != last || !(std::fabs(value) < kFloatRoundingLimit)) {
    return {std::nullopt,
            "the number " + inQuotes(text) + " is outside the range of a single-precision real"};
  }
  return {static_cast<float>(value), {}};
}

}  // namespace survseq::input
