#pragma once
// Setting the level of an H.264 byte stream while copying it: only the level_idc byte of
// each sequence parameter set changes, everything else is copied as it is.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quillet::toolkit {

// Sets level_idc in the sequence parameter sets of an Annex B stream handed over in
// pieces of any size, in order. A start code or parameter set split across two pieces is
// found all the same.
class SpsLevelPatcher {
 public:
  explicit SpsLevelPatcher(uint8_t levelIdc) : level_(levelIdc) {}
  void Patch(uint8_t* data, size_t size);

 private:
  void Settle(uint8_t* data, size_t size);
  uint8_t level_;
  uint64_t base_ = 0;                // stream offset of the piece being patched
  uint8_t last_[2] = {0xff, 0xff};   // the two bytes before it
  std::optional<uint64_t> header_;   // a NAL header byte still to read
  std::optional<uint64_t> levelAt_;  // a level byte still to set
};

// Copies `from` to `to` in large pieces with the level set. False, with `error` set,
// when either file fails.
bool CopyWithSpsLevel(const std::string& from, const std::string& to, uint8_t levelIdc,
                      std::string* error);

}  // namespace quillet::toolkit
