// Values as the error messages show them, and the form of a warning.

#include "report/message_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace survseq::report {
namespace {

TEST(EchoedValue, ShowsAtMostFortyCharactersWithControlBytesEscaped) {
  const std::string forty(40, '7');
  struct Case { std::string text, shown; };
  const Case cases[] = {
      {"", ""},
      {"12x", "12x"},
      {forty, forty},                                   // at the limit: whole
      {forty + "7", std::string(37, '7') + "..."},      // one more: cut to 37 and the mark
      {std::string(100000, '9'), std::string(37, '9') + "..."},
      {"a\tb\x01\x7f", "a\\x09b\\x01\\x7F"},             // control bytes and DEL
      {"r\xc3\xa9sum\xc3\xa9", "r\xc3\xa9sum\xc3\xa9"},  // UTF-8 letters stay, one column each
      {std::string(39, 'a') + "\xc3\xa9", std::string(39, 'a') + "\xc3\xa9"},
      // A C1 control, a stray byte, a sequence cut short, an overlong form, a surrogate
      // and a code point beyond U+10FFFF: every byte escaped.
      {"\xc2\x85|\xff|\xc3|\xe0\x80\x80", "\\xC2\\x85|\\xFF|\\xC3|\\xE0\\x80\\x80"},
      {"\xed\xa0\x80|\xf4\x90\x80\x80", "\\xED\\xA0\\x80|\\xF4\\x90\\x80\\x80"},
      {std::string(20, '\0'), "\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00..."},
      {std::string(35, 'a') + "\x01" "bb", std::string(35, 'a') + "..."},  // an escape is not split
  };
  for (const Case& c : cases) {
    EXPECT_EQ(echoedValue(c.text), c.shown) << c.text.substr(0, 50);
  }
}

TEST(Warning, IsOneLineNamingTheLine) {
  std::ostringstream warnings;
  writeWarning(warnings, 83, "look here");
  EXPECT_EQ(warnings.str(), "survseq: warning: line 83: look here\n");
  EXPECT_EQ(numberText(0.0625f), "0.0625");
  EXPECT_EQ(numberText(0.1f), "0.1");
  EXPECT_EQ(numberText(1e-5f), "1e-05");
}

}  // namespace
}  // namespace survseq::report
