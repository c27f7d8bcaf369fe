// Makes an H.264 elementary stream that declares level 5.1 declare level 4.1, in place:
// the level byte of each sequence parameter set near the start of the stream is patched.
// The encoder options and the muxer files of this program expect level 4.1.
#include <array>
#include <cstdint>
#include <fstream>
#include <vector>

#include "inspect/SetHeaderMod.h"

namespace quillet {
namespace {

// The first three bytes of a sequence parameter set after its NAL header: profile,
// constraint flags, level 5.1.
struct SpsPattern {
  std::array<uint8_t, 3> bytes;
  int lastStart;  // the last 1-based start position scanned
};

constexpr uint8_t kLevel41 = 0x29;
constexpr std::size_t kMaxPatches = 11;

// Scanned in this order; a later profile only when the earlier ones found nothing.
constexpr std::array<SpsPattern, 4> kPatterns = {{
    {{0x64, 0x00, 0x33}, 6000},  // High
    {{0x4D, 0x40, 0x33}, 3000},  // Main, constraint_set1
    {{0x58, 0xA0, 0x33}, 3000},  // Extended, constraint_set0 and set2
    {{0x42, 0xC0, 0x33}, 3000},  // Baseline, constraint_set0 and set1
}};

// 1-based positions of the level bytes of `pattern` in `head` (the file's first bytes).
// The table holds at most eleven positions: a twelfth match ends the scan.
std::vector<std::streamoff> FindLevelBytes(const std::vector<uint8_t>& head,
                                           const SpsPattern& pattern) {
  std::vector<std::streamoff> found;
  auto byteAt = [&head](int position) -> int {
    return position >= 1 && position <= static_cast<int>(head.size()) ? head[position - 1] : -1;
  };
  int p = 1;
  while (p <= pattern.lastStart) {
    if (byteAt(p) != pattern.bytes[0]) {
      p += 1;
    } else if (byteAt(p + 1) != pattern.bytes[1]) {
      p += 1;
    } else if (byteAt(p + 2) != pattern.bytes[2]) {
      p += 2;  // the second byte was examined already
    } else {
      if (found.size() == kMaxPatches) break;
      found.push_back(p + 2);
      p += 3;
    }
  }
  return found;
}

}  // namespace

void SetHeaderLevel(const std::string& path) {
  std::vector<uint8_t> head;
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    head.resize(kPatterns[0].lastStart + 2);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
  }

  std::vector<std::streamoff> positions;
  for (const SpsPattern& pattern : kPatterns) {
    positions = FindLevelBytes(head, pattern);
    if (!positions.empty()) break;
  }
  if (positions.empty()) return;

  // Opened for update: the file keeps its length and every other byte.
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  if (!out) return;
  const char level = static_cast<char>(kLevel41);
  for (std::streamoff position : positions) {
    out.seekp(position - 1);
    out.write(&level, 1);
  }
}

}  // namespace quillet
