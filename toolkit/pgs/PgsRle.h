#pragma once
// The run-length code of presentation-graphics objects, line by line:
//   CC                a single pixel of colour CC (not 0)
//   00 0L             L (1..63) pixels of colour 0
//   00 4L LL          L (64..16383) pixels of colour 0
//   00 8L CC          L (3..63) pixels of colour CC
//   00 CL LL CC       L (64..16383) pixels of colour CC
//   00 00             end of the line

#include <cstdint>
#include <optional>
#include <vector>

namespace quillet::toolkit::pgs {

std::vector<uint8_t> EncodeRle(const std::vector<uint8_t>& pixels, int width, int height);

// nullopt when the code does not give exactly width x height pixels.
std::optional<std::vector<uint8_t>> DecodeRle(const std::vector<uint8_t>& code, int width,
                                              int height);

}  // namespace quillet::toolkit::pgs
