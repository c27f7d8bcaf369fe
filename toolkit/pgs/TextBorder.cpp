#include "toolkit/pgs/TextBorder.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace quillet::toolkit::pgs {
namespace {

// Each pixel's most covered neighbour on its row within `reach`.
std::vector<uint8_t> RowMaximum(const std::vector<uint8_t>& coverage, int width, int reach) {
  std::vector<uint8_t> out(coverage);
  for (size_t start = 0; start < coverage.size(); start += width) {
    const uint8_t* in = &coverage[start];
    uint8_t* row = &out[start];
    for (int d = 1; d <= reach && d < width; ++d) {
      for (int x = 0; x < width - d; ++x) row[x] = std::max(row[x], in[x + d]);
      for (int x = d; x < width; ++x) row[x] = std::max(row[x], in[x - d]);
    }
  }
  return out;
}

// The coverage grown by `radius` pixels all round: each pixel takes the most covered one
// within a disc.
std::vector<uint8_t> Grown(const std::vector<uint8_t>& coverage, int width, int radius) {
  std::vector<uint8_t> grown(coverage);
  std::map<int, std::vector<uint8_t>> rowMaxima;  // by reach
  const int height = static_cast<int>(coverage.size() / width);
  for (int dy = -radius; dy <= radius; ++dy) {
    // The disc's half-width on this row, rounded so that a radius of one is 3 x 3.
    const int reach = static_cast<int>(std::sqrt(radius * radius + radius - dy * dy));
    auto [at, added] = rowMaxima.try_emplace(reach);
    if (added) at->second = RowMaximum(coverage, width, reach);
    for (int y = std::max(0, -dy); y < height - std::max(0, dy); ++y) {
      const uint8_t* from = &at->second[static_cast<size_t>(y + dy) * width];
      uint8_t* to = &grown[static_cast<size_t>(y) * width];
      for (int x = 0; x < width; ++x) to[x] = std::max(to[x], from[x]);
    }
  }
  return grown;
}

}  // namespace

// Of a pixel, the covered part shows the colour and the border's part beyond it black, as
// a stroke under a fill would (a see-through colour is not darkened inside the glyphs).
std::vector<uint32_t> BorderedText(const std::vector<uint8_t>& coverage, int width, int border,
                                   uint32_t color) {
  const std::vector<uint8_t> grown = Grown(coverage, width, border);
  const int opacity = color >> 24;
  std::vector<uint32_t> argb(coverage.size());
  for (size_t i = 0; i < coverage.size(); ++i) {
    const int fill = (coverage[i] * opacity + 127) / 255;
    const int alpha = fill + grown[i] - coverage[i];
    if (alpha <= 0) continue;
    auto part = [&](int shift) {
      return static_cast<uint32_t>((((color >> shift) & 0xFF) * fill + alpha / 2) / alpha) << shift;
    };
    argb[i] = static_cast<uint32_t>(alpha) << 24 | part(16) | part(8) | part(0);
  }
  return argb;
}

}  // namespace quillet::toolkit::pgs
