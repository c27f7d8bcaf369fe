#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "toolkit/pgs/PgsBitmap.h"

namespace quillet::toolkit::pgs {
namespace {

struct Matrix {
  double kr, kb;
};
Matrix MatrixFor(bool highDefinition) {
  return highDefinition ? Matrix{0.2126, 0.0722} : Matrix{0.299, 0.114};
}

uint8_t Clamp8(double v) {
  return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

uint32_t GroupKey(uint32_t argb, int shift) {
  uint32_t mask = (0xFFu >> shift) << shift;
  return argb & (mask * 0x01010101u);
}

// The fewest bits dropped that leave at most `limit` groups of the visible colours.
int ShiftForLimit(const std::unordered_map<uint32_t, size_t>& counts, size_t limit) {
  for (int shift = 0; shift < 8; ++shift) {
    std::unordered_set<uint32_t> groups;
    for (const auto& [argb, n] : counts) {
      groups.insert(GroupKey(argb, shift));
      if (groups.size() > limit) break;
    }
    if (groups.size() <= limit) return shift;
  }
  return 8;
}

}  // namespace

PaletteEntry ToYCbCr(uint32_t argb, bool highDefinition) {
  Matrix m = MatrixFor(highDefinition);
  double r = ((argb >> 16) & 0xFF) / 255.0, g = ((argb >> 8) & 0xFF) / 255.0,
         b = (argb & 0xFF) / 255.0;
  double y = m.kr * r + (1 - m.kr - m.kb) * g + m.kb * b;
  double cb = (b - y) / (2 * (1 - m.kb)), cr = (r - y) / (2 * (1 - m.kr));
  return {Clamp8(16 + 219 * y), Clamp8(128 + 224 * cr), Clamp8(128 + 224 * cb),
          static_cast<uint8_t>(argb >> 24)};
}

uint32_t ToArgb(const PaletteEntry& e, bool highDefinition) {
  Matrix m = MatrixFor(highDefinition);
  double y = (e.y - 16) / 219.0, cb = (e.cb - 128) / 224.0, cr = (e.cr - 128) / 224.0;
  double r = y + 2 * (1 - m.kr) * cr, b = y + 2 * (1 - m.kb) * cb;
  double g = (y - m.kr * r - m.kb * b) / (1 - m.kr - m.kb);
  return (static_cast<uint32_t>(e.alpha) << 24) | (Clamp8(r * 255) << 16) | (Clamp8(g * 255) << 8) |
         Clamp8(b * 255);
}

namespace {

// How many visible pixels have each colour. Drawn text comes in runs of one colour, so a run
// is counted at once.
std::unordered_map<uint32_t, size_t> CountColours(const std::vector<uint32_t>& argb) {
  std::unordered_map<uint32_t, size_t> counts;
  for (size_t i = 0; i < argb.size();) {
    size_t run = 1;
    while (i + run < argb.size() && argb[i + run] == argb[i]) ++run;
    if (argb[i] >> 24) counts[argb[i]] += run;
    i += run;
  }
  return counts;
}

}  // namespace

IndexedBitmap QuantizeBitmap(const Bitmap& bitmap, bool highDefinition) {
  const std::unordered_map<uint32_t, size_t> counts = CountColours(bitmap.argb);
  int shift = ShiftForLimit(counts, 255);
  // Each group's mean colour, weighted by how many pixels have it.
  std::map<uint32_t, std::array<double, 5>> sums;
  for (const auto& [argb, n] : counts) {
    auto& s = sums[GroupKey(argb, shift)];
    for (int c = 0; c < 4; ++c) s[c] += static_cast<double>((argb >> (24 - 8 * c)) & 0xFF) * n;
    s[4] += static_cast<double>(n);
  }
  IndexedBitmap out;
  out.width = bitmap.width;
  out.height = bitmap.height;
  out.palette.push_back(PaletteEntry{});
  std::map<uint32_t, uint8_t> indexOf;
  for (const auto& [key, s] : sums) {
    uint32_t mean = 0;
    for (int c = 0; c < 4; ++c) mean |= static_cast<uint32_t>(Clamp8(s[c] / s[4])) << (24 - 8 * c);
    PaletteEntry entry = ToYCbCr(mean, highDefinition);
    entry.alpha = std::max<uint8_t>(entry.alpha, 1);
    indexOf[key] = static_cast<uint8_t>(out.palette.size());
    out.palette.push_back(entry);
  }
  out.pixels.resize(bitmap.argb.size(), 0);
  uint32_t last = 0;
  uint8_t lastIndex = 0;
  for (size_t i = 0; i < bitmap.argb.size(); ++i) {
    const uint32_t p = bitmap.argb[i];
    if (!(p >> 24)) continue;
    if (p != last) last = p, lastIndex = indexOf[GroupKey(p, shift)];
    out.pixels[i] = lastIndex;
  }
  return out;
}

}  // namespace quillet::toolkit::pgs
