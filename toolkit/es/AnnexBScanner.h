#pragma once
// The NAL units of an Annex B byte stream (H.264, HEVC), found by their start codes in a file
// read in large chunks: a film of many gigabytes passes through a few megabytes of memory.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace quillet::toolkit::es {

struct NalSpan {
  uint64_t offset = 0;  // the start code's first byte (the zero byte of a four-byte one)
  uint64_t end = 0;     // where the next start code begins, or the file's end
  // The unit from its header byte on, at most as many bytes as asked for; trailing zeros
  // are left out when it is whole.
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// How many bytes of a NAL unit to keep, given its first (header) byte.
using KeepBytes = std::function<size_t(uint8_t header)>;
using OnNal = std::function<void(const NalSpan&)>;

// Calls `onNal` for each unit in file order. False when the file cannot be read.
bool ScanAnnexB(int fd, const KeepBytes& keep, const OnNal& onNal);

}  // namespace quillet::toolkit::es
