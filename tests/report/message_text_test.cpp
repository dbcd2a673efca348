// Values as the error messages show them.

#include "report/message_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace survseq::report {
namespace {

// The form of a warning and numberText are checked in the warnings of the parameter file.
TEST(EchoedValue, ShowsAtMostFortyCharactersWithControlBytesEscaped) {
  const std::string forty(40, '7');
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {forty, forty},                               // at the limit: whole
      {forty + "7", std::string(37, '7') + "..."},  // one more: cut to 37 and the mark
      {"a\tb\x01\x7f", "a\\x09b\\x01\\x7F"},         // control bytes and DEL
      {std::string(39, 'a') + "\xc3\xa9", std::string(39, 'a') + "\xc3\xa9"},  // one column
      // A C1 control, a stray byte, a sequence cut short, an overlong form, a surrogate
      // and a code point beyond U+10FFFF: every byte escaped.
      {"\xc2\x85|\xff|\xc3|\xe0\x80\x80", "\\xC2\\x85|\\xFF|\\xC3|\\xE0\\x80\\x80"},
      {"\xed\xa0\x80|\xf4\x90\x80\x80", "\\xED\\xA0\\x80|\\xF4\\x90\\x80\\x80"},
      {std::string(20, '\0'), "\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00..."},
      {std::string(35, 'a') + "\x01" "bb", std::string(35, 'a') + "..."},  // an escape is not split
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(echoedValue(text), shown) << text;
}

}  // namespace
}  // namespace survseq::report
