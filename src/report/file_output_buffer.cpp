#include "report/file_output_buffer.h"

#include <unistd.h>

#include <cerrno>

namespace survseq::report {

namespace {

constexpr size_t kBufferSize = size_t{1} << 16;

}  // namespace

FileOutputBuffer::FileOutputBuffer() : buffer_(kBufferSize) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

FileOutputBuffer::~FileOutputBuffer() { close(); }

void FileOutputBuffer::attach(int descriptor) {
  close();
  descriptor_ = descriptor;
  error_ = 0;
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool FileOutputBuffer::writeAll(const char* data, size_t size) {
  while (size > 0 && error_ == 0) {
    const ssize_t written = ::write(descriptor_, data, size);
    if (written < 0) {
      if (errno != EINTR) error_ = errno;
      continue;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return error_ == 0;
}

bool FileOutputBuffer::writeOut() {
  if (descriptor_ < 0) return error_ == 0;
  // After a failure the rest is dropped: the file is lost either way.
  const bool written = writeAll(pbase(), static_cast<size_t>(pptr() - pbase()));
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return written;
}

int FileOutputBuffer::close() {
  if (descriptor_ < 0) return error_;
  writeOut();
  if (::close(descriptor_) != 0 && error_ == 0 && errno != EINTR) error_ = errno;
  descriptor_ = -1;
  return error_;
}

FileOutputBuffer::int_type FileOutputBuffer::overflow(int_type c) {
  if (descriptor_ < 0 || !writeOut()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int FileOutputBuffer::sync() { return writeOut() ? 0 : -1; }

}  // namespace survseq::report
