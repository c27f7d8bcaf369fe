#include "base/BitStream.h"

namespace quillet {

void BitWriter::Bits(uint64_t value, int count) {
  for (int bit = count - 1; bit >= 0; --bit) {
    pending_ = uint8_t((pending_ << 1) | ((value >> bit) & 1));
    if (++pendingBits_ == 8) {
      bytes_.push_back(pending_);
      pending_ = 0;
      pendingBits_ = 0;
    }
  }
}

void BitWriter::Ue(uint32_t value) {
  const uint64_t code = uint64_t(value) + 1;
  int bits = 0;
  while ((code >> bits) > 1) ++bits;
  Bits(0, bits);
  Bits(code, bits + 1);
}

void BitWriter::Se(int32_t value) {
  Ue(value > 0 ? uint32_t(2 * int64_t(value) - 1) : uint32_t(-2 * int64_t(value)));
}

void BitWriter::Text(const std::string& text, size_t size) {
  for (size_t i = 0; i < size; ++i) U8(i < text.size() ? uint8_t(text[i]) : 0);
}

void BitWriter::Zeros(size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) U8(0);
}

void BitWriter::PatchU32(size_t position, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_.at(position + i) = uint8_t(value >> (24 - 8 * i));
}

void BitWriter::PatchLength16(size_t position) {
  const size_t length = Size() - position - 2;
  bytes_.at(position) = uint8_t(length >> 8);
  bytes_.at(position + 1) = uint8_t(length);
}

uint64_t BitReader::Bits(int count) {
  uint64_t value = 0;
  for (int i = 0; i < count; ++i) {
    const size_t byte = bitPosition_ / 8;
    int bit = 0;
    if (byte < bytes_.size()) {
      bit = (bytes_[byte] >> (7 - bitPosition_ % 8)) & 1;
    } else {
      failed_ = true;
    }
    value = (value << 1) | uint64_t(bit);
    ++bitPosition_;
  }
  return value;
}

uint32_t BitReader::Ue() {
  int zeros = 0;
  while (Bit() == 0) {
    if (failed_ || ++zeros > 31) {
      failed_ = true;
      return 0;
    }
  }
  if (zeros == 0) return 0;
  return ((1u << zeros) - 1) + uint32_t(Bits(zeros));
}

int32_t BitReader::Se() {
  const uint32_t k = Ue();
  return (k & 1) ? int32_t((k + 1) / 2) : -int32_t(k / 2);
}

std::string BitReader::Text(size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i) text.push_back(char(U8()));
  return text;
}

void BitReader::Skip(size_t bits) {
  bitPosition_ += bits;
  if (bitPosition_ > bytes_.size() * 8) failed_ = true;
}

}  // namespace quillet
