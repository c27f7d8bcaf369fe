#include "toolkit/pgs/PgsRle.h"

namespace quillet::toolkit::pgs {
namespace {

void PutRun(std::vector<uint8_t>& out, uint8_t colour, int length) {
  if (colour != 0 && length <= 2) {
    out.insert(out.end(), static_cast<size_t>(length), colour);
    return;
  }
  out.push_back(0);
  uint8_t flags = static_cast<uint8_t>((colour != 0 ? 0x80 : 0) | (length >= 64 ? 0x40 : 0));
  if (length >= 64) {
    out.push_back(static_cast<uint8_t>(flags | (length >> 8)));
    out.push_back(static_cast<uint8_t>(length & 0xFF));
  } else {
    out.push_back(static_cast<uint8_t>(flags | length));
  }
  if (colour != 0) out.push_back(colour);
}

}  // namespace

std::vector<uint8_t> EncodeRle(const std::vector<uint8_t>& pixels, int width, int height) {
  std::vector<uint8_t> out;
  for (int row = 0; row < height; ++row) {
    const uint8_t* line = pixels.data() + static_cast<size_t>(row) * width;
    for (int x = 0; x < width;) {
      int run = 1;
      while (x + run < width && line[x + run] == line[x] && run < 16383) ++run;
      PutRun(out, line[x], run);
      x += run;
    }
    out.push_back(0);
    out.push_back(0);
  }
  return out;
}

std::optional<std::vector<uint8_t>> DecodeRle(const std::vector<uint8_t>& code, int width,
                                              int height) {
  std::vector<uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(width) * height);
  size_t at = 0, lineStart = 0;
  int rows = 0;
  auto next = [&](uint8_t* b) {
    if (at >= code.size()) return false;
    *b = code[at++];
    return true;
  };
  uint8_t b = 0;
  while (next(&b)) {
    if (b != 0) {
      pixels.push_back(b);
      continue;
    }
    uint8_t flags = 0;
    if (!next(&flags)) return std::nullopt;
    if (flags == 0) {  // end of line
      if (pixels.size() - lineStart != static_cast<size_t>(width)) return std::nullopt;
      lineStart = pixels.size();
      ++rows;
      continue;
    }
    int length = flags & 0x3F;
    if (flags & 0x40) {
      uint8_t low = 0;
      if (!next(&low)) return std::nullopt;
      length = (length << 8) | low;
    }
    uint8_t colour = 0;
    if ((flags & 0x80) && !next(&colour)) return std::nullopt;
    pixels.insert(pixels.end(), static_cast<size_t>(length), colour);
  }
  if (rows != height || pixels.size() != static_cast<size_t>(width) * height) return std::nullopt;
  return pixels;
}

}  // namespace quillet::toolkit::pgs
