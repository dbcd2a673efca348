#include "run/console_guard.h"

namespace survseq::run {

ConsoleGuard::int_type ConsoleGuard::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  beforeWrite_();
  return target_.sputc(traits_type::to_char_type(c));
}

std::streamsize ConsoleGuard::xsputn(const char* text, std::streamsize count) {
  beforeWrite_();
  return target_.sputn(text, count);
}

}  // namespace survseq::run
