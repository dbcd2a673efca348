#pragma once

// A stream buffer that writes to an open file descriptor and keeps the reason of the
// first failure, so that a lost write can be reported with the system's words.

#include <streambuf>
#include <vector>

namespace survseq::report {

class FileOutputBuffer : public std::streambuf {
 public:
  FileOutputBuffer();
  ~FileOutputBuffer() override;
  FileOutputBuffer(const FileOutputBuffer&) = delete;
  FileOutputBuffer& operator=(const FileOutputBuffer&) = delete;

  // Takes over `descriptor`, which must be open for writing.
  void attach(int descriptor);
  bool isOpen() const { return descriptor_ >= 0; }
  int descriptor() const { return descriptor_; }

  // Writes out everything buffered; false when anything could not be written.
  bool writeOut();
  // Writes out, then closes; the error number of the first failure, 0 when none.
  int close();
  // The error number of the first failure so far, 0 when none.
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool writeAll(const char* data, size_t size);

  std::vector<char> buffer_;
  int descriptor_ = -1;
  int error_ = 0;
};

}  // namespace survseq::report
