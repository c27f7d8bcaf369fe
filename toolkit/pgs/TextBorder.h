#pragma once
// The black border around drawn text, grown from the glyphs' coverage: far quicker than
// stroking every glyph's outline, and the same to the eye at subtitle sizes.

#include <cstdint>
#include <vector>

namespace quillet::toolkit::pgs {

// The glyphs' coverage (0 to 255 a pixel, `width` pixels a row) in `color` (0xAARRGGBB)
// over a black border `border` pixels wide, as straight ARGB pixels; 0 where nothing shows.
std::vector<uint32_t> BorderedText(const std::vector<uint8_t>& coverage, int width, int border,
                                   uint32_t color);

}  // namespace quillet::toolkit::pgs
