#pragma once

// Console text on its way to standard output, with a word to the progress display first:
// when both go to one terminal, a console line written while the progress line is on
// screen would otherwise be glued to its end. The bytes pass through unchanged.

#include <functional>
#include <streambuf>

namespace survseq::run {

class ConsoleGuard : public std::streambuf {
 public:
  // `beforeWrite` is called before every write to `target`.
  ConsoleGuard(std::streambuf& target, std::function<void()> beforeWrite)
      : target_(target), beforeWrite_(std::move(beforeWrite)) {}

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override { return target_.pubsync(); }

 private:
  std::streambuf& target_;
  std::function<void()> beforeWrite_;
};

}  // namespace survseq::run
