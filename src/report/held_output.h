#pragma once

// Output held back: a stream that keeps what is written to it until it is handed on to
// the real console or report file. A simulated trial that runs on a worker thread writes
// its lines here, and they are handed on in trial order. The text's storage is kept when
// it is cleared, so that a stream reused for trial after trial stops allocating once it
// has held its longest text.

#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace survseq::report {

class HeldText : public std::streambuf {
 public:
  std::string_view text() const { return text_; }
  void clear() { text_.clear(); }

 protected:
  int_type overflow(int_type ch) override {
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      text_.push_back(traits_type::to_char_type(ch));
    }
    return traits_type::not_eof(ch);
  }
  std::streamsize xsputn(const char* s, std::streamsize count) override {
    text_.append(s, static_cast<size_t>(count));
    return count;
  }

 private:
  std::string text_;
};

class HeldOutput {
 public:
  HeldOutput() = default;
  HeldOutput(const HeldOutput&) = delete;
  HeldOutput& operator=(const HeldOutput&) = delete;

  // Where the lines are written.
  std::ostream& stream() { return stream_; }
  std::string_view text() const { return text_.text(); }

  // Forgets the text (and any failure state), keeping the storage.
  void clear() {
    text_.clear();
    stream_.clear();
  }
  // Writes the held text to `out` and forgets it.
  void handOn(std::ostream& out) {
    const std::string_view held = text_.text();
    if (!held.empty()) out.write(held.data(), static_cast<std::streamsize>(held.size()));
    clear();
  }

 private:
  HeldText text_;
  std::ostream stream_{&text_};
};

}  // namespace survseq::report
