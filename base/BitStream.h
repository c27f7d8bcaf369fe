#pragma once
// Big-endian bit fields, most significant bit first, as the Blu-ray navigation files and
// H.264 headers store them: whole bytes, packed bit fields and Exp-Golomb codes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

class BitWriter {
 public:
  // Appends the low `count` bits of `value`, most significant first (count <= 64).
  void Bits(uint64_t value, int count);
  void U8(uint32_t value) { Bits(value, 8); }
  void U16(uint32_t value) { Bits(value, 16); }
  void U32(uint32_t value) { Bits(value, 32); }
  // Exp-Golomb codes: unsigned (ue(v)) and signed (se(v)).
  void Ue(uint32_t value);
  void Se(int32_t value);
  // Text as bytes, cut or padded with zeros to `size` bytes.
  void Text(const std::string& text, size_t size);
  void Zeros(size_t bytes);
  // Byte position; only meaningful on a byte boundary.
  size_t Size() const { return bytes_.size(); }
  bool Aligned() const { return pendingBits_ == 0; }
  // Overwrites a 32-bit field written earlier (lengths and start addresses).
  void PatchU32(size_t position, uint32_t value);
  void PatchU8(size_t position, uint8_t value) { bytes_.at(position) = value; }
  // Fills a length field at `position` with the bytes written after it.
  void PatchLength32(size_t position) { PatchU32(position, uint32_t(Size() - position - 4)); }
  void PatchLength16(size_t position);
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  uint8_t pending_ = 0;
  int pendingBits_ = 0;
};

class BitReader {
 public:
  explicit BitReader(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  // Reads `count` bits (<= 64); past the end reads zeros and sets Failed().
  uint64_t Bits(int count);
  unsigned Bit() { return unsigned(Bits(1)); }
  uint32_t U8() { return uint32_t(Bits(8)); }
  uint32_t U16() { return uint32_t(Bits(16)); }
  uint32_t U32() { return uint32_t(Bits(32)); }
  // Exp-Golomb codes; a code longer than 32 bits or cut off reads 0 and sets Failed().
  uint32_t Ue();
  int32_t Se();
  std::string Text(size_t size);
  void Skip(size_t bits);
  void Seek(size_t bytePosition) { bitPosition_ = bytePosition * 8; }
  size_t Position() const { return bitPosition_ / 8; }
  size_t BitPosition() const { return bitPosition_; }
  size_t SizeBytes() const { return bytes_.size(); }
  bool Failed() const { return failed_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t bitPosition_ = 0;
  bool failed_ = false;
};

}  // namespace quillet
