#include "toolkit/es/AnnexBScanner.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace quillet::toolkit::es {
namespace {

constexpr size_t kChunk = 4 << 20;
// Bytes of the last chunk kept in front of the next, so that a start code split between
// the two (and its leading zero byte) is still seen whole.
constexpr size_t kCarry = 3;

// The unit being read: its bytes gather chunk by chunk until the next start code.
struct Pending {
  bool open = false;
  uint64_t offset = 0, data = 0;
  size_t cap = 0;
  std::vector<uint8_t> bytes;
};

ssize_t ReadFull(int fd, uint8_t* into, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t got = read(fd, into + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

bool ScanAnnexB(int fd, const KeepBytes& keep, const OnNal& onNal) {
  std::vector<uint8_t> buf(kCarry + kChunk);
  size_t carry = 0;
  uint64_t base = 0;  // the file offset of buf[0]
  Pending nal;
  // Gathers the unit's bytes up to the file offset `to` (the buffer holds them).
  auto gather = [&](uint64_t to) {
    const uint64_t from = nal.data + nal.bytes.size();
    if (!nal.open || from >= to) return;
    if (nal.bytes.empty()) nal.cap = std::max<size_t>(keep(buf[from - base]), 1);
    to = std::min(to, nal.data + nal.cap);
    if (from < to)
      nal.bytes.insert(nal.bytes.end(), buf.begin() + long(from - base),
                       buf.begin() + long(to - base));
  };
  auto finish = [&](uint64_t end) {
    if (!nal.open) return;
    // The start code that ends the unit may have been gathered with it.
    nal.bytes.resize(std::min<uint64_t>(nal.bytes.size(), end - nal.data));
    if (nal.data + nal.bytes.size() == end)
      while (!nal.bytes.empty() && nal.bytes.back() == 0) nal.bytes.pop_back();
    onNal({nal.offset, end, nal.bytes.data(), nal.bytes.size()});
  };
  for (;;) {
    const ssize_t got = ReadFull(fd, buf.data() + carry, kChunk);
    if (got < 0) return false;
    if (got == 0) break;
    const size_t n = carry + static_cast<size_t>(got);
    for (size_t p = carry; p < n;) {
      const void* hit = std::memchr(buf.data() + p, 1, n - p);
      if (!hit) break;
      const size_t one = static_cast<size_t>(static_cast<const uint8_t*>(hit) - buf.data());
      p = one + 1;
      if (one < 2 || buf[one - 1] != 0 || buf[one - 2] != 0) continue;
      size_t start = one - 2;
      if (start > 0 && buf[start - 1] == 0) --start;
      gather(base + start);
      finish(base + start);
      nal = Pending{true, base + start, base + one + 1, 0, {}};
    }
    gather(base + n);
    carry = std::min(kCarry, n);
    std::memmove(buf.data(), buf.data() + n - carry, carry);
    base += n - carry;
  }
  finish(base + carry);
  return true;
}

}  // namespace quillet::toolkit::es
