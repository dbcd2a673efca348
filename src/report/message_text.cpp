#include "report/message_text.h"

#include <charconv>
#include <ostream>
#include <string>
#include <vector>

namespace survseq::report {

namespace {

constexpr std::string_view kCutMark = "...";

// Length of the well-formed UTF-8 sequence of a printable character that starts at
// `position`, or 0 when the byte there must be escaped (a control byte, a C1 control, a
// stray or overlong byte, a surrogate or a code point beyond U+10FFFF).
size_t printableLength(std::string_view text, size_t position) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(position);
  if (lead < 0x20 || lead == 0x7f) return 0;
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xbf;  // allowed range of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (position + length > text.size()) return 0;
  if (byte(position + 1) < low || byte(position + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(position + i) < 0x80 || byte(position + i) > 0xbf) return 0;
  }
  if (lead == 0xc2 && byte(position + 1) < 0xa0) return 0;  // U+0080..U+009F: C1 controls
  return length;
}

std::string escapedByte(unsigned char byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string{'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0xf]};
}

}  // namespace

std::string echoedValue(std::string_view text) {
  // The text as the characters a reader sees: escapes, four columns each, and printable
  // characters, one column each.
  struct Shown {
    std::string text;
    size_t width;
  };
  std::vector<Shown> shown;
  size_t width = 0;
  for (size_t position = 0; position < text.size() && width <= kEchoedValueLength;) {
    const size_t length = printableLength(text, position);
    if (length == 0) {
      shown.push_back({escapedByte(static_cast<unsigned char>(text[position])), 4});
      position += 1;
    } else {
      shown.push_back({std::string(text.substr(position, length)), 1});
      position += length;
    }
    width += shown.back().width;
  }

  const bool cut = width > kEchoedValueLength;
  const size_t room = cut ? kEchoedValueLength - kCutMark.size() : kEchoedValueLength;
  std::string echoed;
  size_t used = 0;
  for (const Shown& piece : shown) {
    if (used + piece.width > room) break;
    echoed += piece.text;
    used += piece.width;
  }
  return cut ? echoed + std::string(kCutMark) : echoed;
}

std::string numberText(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

void writeWarning(std::ostream& warnings, int32_t line, std::string_view text) {
  writeWarning(warnings, "line " + std::to_string(line), text);
}

void writeWarning(std::ostream& warnings, std::string_view where, std::string_view text) {
  warnings << "survseq: warning: " << where << ": " << text << '\n';
}

}  // namespace survseq::report
