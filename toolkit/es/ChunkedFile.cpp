#include "toolkit/es/ChunkedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quillet::toolkit::es {
namespace {

// Large reads keep the disk streaming; about two of them are all a reader ever holds.
constexpr size_t kChunk = size_t{4} << 20;

}  // namespace

ChunkedFile::~ChunkedFile() {
  if (fd_ >= 0) close(fd_);
}

bool ChunkedFile::Open(const std::string& path, std::string* error) {
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd_ < 0 || fstat(fd_, &info) != 0) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  size_ = info.st_size;
  return true;
}

bool ChunkedFile::ReadAt(int64_t pos, uint8_t* out, size_t n) {
  size_t got = 0;
  while (got < n) {
    const ssize_t r = pread(fd_, out + got, n - got, static_cast<off_t>(pos + got));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) failed_ = true;
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  return got == n;
}

size_t ChunkedFile::Have(int64_t pos, size_t n) {
  const int64_t want = std::min<int64_t>(pos + static_cast<int64_t>(n), size_);
  if (pos >= want) return 0;
  const int64_t held = base_ + static_cast<int64_t>(window_.size());
  if (want > held) {
    // Drop what was released and read on from where the window ends.
    const int64_t behind = std::clamp<int64_t>(keep_ - base_, 0, held - base_);
    window_.erase(window_.begin(), window_.begin() + behind);
    base_ += behind;
    const size_t kept = window_.size();
    const size_t more = std::max<size_t>(kChunk, static_cast<size_t>(want - held));
    window_.resize(kept + more);
    const int64_t read = std::min<int64_t>(more, size_ - held);
    if (!ReadAt(held, window_.data() + kept, static_cast<size_t>(read))) failed_ = true;
    window_.resize(kept + static_cast<size_t>(read));
  }
  return static_cast<size_t>(std::min(want, base_ + static_cast<int64_t>(window_.size())) - pos);
}

}  // namespace quillet::toolkit::es
