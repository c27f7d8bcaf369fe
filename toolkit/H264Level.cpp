#include "toolkit/H264Level.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "toolkit/Files.h"

namespace quillet::toolkit {
namespace {

constexpr uint8_t kSpsType = 7;
// level_idc follows the NAL header, profile_idc and the constraint flags. No emulation
// prevention byte can come before it: profile_idc is never zero.
constexpr uint64_t kLevelOffset = 3;
constexpr size_t kPiece = 8 << 20;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

// Reads or sets the bytes still pending that fall inside this piece.
void SpsLevelPatcher::Settle(uint8_t* data, size_t size) {
  auto inPiece = [&](uint64_t at) { return at >= base_ && at - base_ < size; };
  if (header_ && inPiece(*header_)) {
    if ((data[*header_ - base_] & 0x1f) == kSpsType) levelAt_ = *header_ + kLevelOffset;
    header_.reset();
  }
  if (levelAt_ && inPiece(*levelAt_)) {
    data[*levelAt_ - base_] = level_;
    levelAt_.reset();
  }
}

void SpsLevelPatcher::Patch(uint8_t* data, size_t size) {
  Settle(data, size);
  auto before = [&](size_t i, size_t back) {  // the byte `back` places before data[i]
    return i >= back ? data[i - back] : last_[2 - (back - i)];
  };
  for (size_t i = 0; i < size;) {
    const void* one = std::memchr(data + i, 1, size - i);
    if (!one) break;
    i = size_t(static_cast<const uint8_t*>(one) - data);
    if (before(i, 1) == 0 && before(i, 2) == 0) {
      header_ = base_ + i + 1;
      Settle(data, size);
    }
    ++i;
  }
  if (size >= 2) {
    last_[0] = data[size - 2];
    last_[1] = data[size - 1];
  } else if (size == 1) {
    last_[0] = last_[1];
    last_[1] = data[0];
  }
  base_ += size;
}

bool CopyWithSpsLevel(const std::string& from, const std::string& to, uint8_t levelIdc,
                      std::string* error) {
  Fd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) {
    *error = "cannot read " + from + ": " + std::strerror(errno);
    return false;
  }
  Fd out(open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (out.get() < 0) {
    *error = "cannot write " + to + ": " + std::strerror(errno);
    return false;
  }
  posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  SpsLevelPatcher patcher(levelIdc);
  std::vector<uint8_t> piece(kPiece);
  for (;;) {
    const ssize_t n = read(in.get(), piece.data(), piece.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = "cannot read " + from + ": " + std::strerror(errno);
      return false;
    }
    if (n == 0) break;
    patcher.Patch(piece.data(), size_t(n));
    if (!WriteAll(out.get(), piece.data(), size_t(n))) {
      *error = "cannot write " + to + ": " + std::strerror(errno);
      return false;
    }
  }
  if (!out.Close()) {
    *error = "cannot write " + to + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace quillet::toolkit
