#pragma once
// Pictures on their way to a presentation-graphics stream: drawn in colour, then reduced
// to at most 256 palette entries of the stream's YCbCr form.

#include <cstdint>
#include <vector>

namespace quillet::toolkit::pgs {

// Straight (not premultiplied) 0xAARRGGBB pixels, row after row, placed on the canvas.
struct Bitmap {
  int x = 0, y = 0;
  int width = 0, height = 0;
  std::vector<uint32_t> argb;
};

struct PaletteEntry {
  uint8_t y = 16, cr = 128, cb = 128, alpha = 0;
  bool operator==(const PaletteEntry&) const = default;
};

// Entry 0 is the transparent one.
struct IndexedBitmap {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
  std::vector<PaletteEntry> palette;
};

// Reduces the colours to at most 255 (plus the transparent entry 0), keeping the
// anti-aliased edge: colours are grouped by ever fewer bits until few enough groups are
// left, each group given its mean. BT.709 for HD pictures (height 720 and up), BT.601
// below, as decoders convert them back.
IndexedBitmap QuantizeBitmap(const Bitmap& bitmap, bool highDefinition);

PaletteEntry ToYCbCr(uint32_t argb, bool highDefinition);
uint32_t ToArgb(const PaletteEntry& entry, bool highDefinition);

}  // namespace quillet::toolkit::pgs
