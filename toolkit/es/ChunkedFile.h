#pragma once
// A file read front to back through a window of large chunks, so that a reader can look a
// few frames ahead without holding the whole file, however long the film.

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::toolkit::es {

class ChunkedFile {
 public:
  ChunkedFile() = default;
  ~ChunkedFile();
  ChunkedFile(const ChunkedFile&) = delete;
  ChunkedFile& operator=(const ChunkedFile&) = delete;

  // False with a one-line reason when the file cannot be read.
  bool Open(const std::string& path, std::string* error);
  int64_t Size() const { return size_; }
  // Makes the bytes [pos, pos + n) readable and says how many of them the file has (fewer
  // near its end). pos must not lie before the last Release.
  size_t Have(int64_t pos, size_t n);
  // The byte at pos, which the last Have must have covered.
  const uint8_t* At(int64_t pos) const { return window_.data() + (pos - base_); }
  // The bytes before pos are needed no more.
  void Release(int64_t pos) { keep_ = pos; }
  // Reads n bytes at pos outside the window (a tag at the end); false when not all are there.
  bool ReadAt(int64_t pos, uint8_t* out, size_t n);
  // Reading failed (not merely the end of the file).
  bool Failed() const { return failed_; }

 private:
  int fd_ = -1;
  std::vector<uint8_t> window_;
  int64_t base_ = 0;  // the file offset of window_[0]
  int64_t size_ = 0;
  int64_t keep_ = 0;
  bool failed_ = false;
};

}  // namespace quillet::toolkit::es
