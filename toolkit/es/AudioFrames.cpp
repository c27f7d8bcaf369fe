#include "toolkit/es/AudioFrames.h"

#include <cstring>

namespace quillet::toolkit::es {
namespace {

// Big-endian bits from a header, MSB first.
class Bits {
 public:
  Bits(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  uint32_t Get(int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i, ++bit_) {
      const size_t byte = bit_ / 8;
      v = (v << 1) | (byte < n_ ? (p_[byte] >> (7 - bit_ % 8)) & 1 : 0);
    }
    return v;
  }
  void Skip(int count) { bit_ += static_cast<size_t>(count); }
  bool Inside() const { return (bit_ + 7) / 8 <= n_; }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t bit_ = 0;
};

constexpr int kAc3Rates[3] = {48000, 44100, 32000};
constexpr int kAc3Kbps[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                              192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr int kAc3Channels[8] = {2, 1, 2, 3, 3, 4, 4, 5};  // by acmod

std::optional<FrameHeader> ReadEac3Header(Bits b) {
  const uint32_t type = b.Get(2), substream = b.Get(3), words = b.Get(11) + 1;
  const uint32_t fscod = b.Get(2), code = b.Get(2);
  const uint32_t acmod = b.Get(3), lfe = b.Get(1);
  if (type == 3 || (fscod == 3 && code == 3)) return std::nullopt;
  constexpr int kBlocks[4] = {1, 2, 3, 6};
  FrameHeader h;
  h.bytes = words * 2;
  h.sampleRate = fscod == 3 ? kAc3Rates[code] / 2 : kAc3Rates[fscod];
  h.channels = kAc3Channels[acmod] + static_cast<int>(lfe);
  // Dependent substreams and independent ones past the first belong to the frame of the
  // first independent substream.
  const bool first = type != 1 && substream == 0;
  h.samples = first ? 256 * (fscod == 3 ? 6 : kBlocks[code]) : 0;
  return h;
}

// The 7-bit DTS-HD extension substream: its size is in its header.
std::optional<FrameHeader> ReadDtsSubstream(Bits b) {
  b.Skip(32 + 8 + 2);
  const bool wide = b.Get(1);
  b.Skip(wide ? 12 : 8);
  FrameHeader h;
  h.bytes = b.Get(wide ? 20 : 16) + 1;
  if (!b.Inside()) return std::nullopt;
  return h;
}

constexpr int kMpegKbps[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // 1, layer 1
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // 1, layer 2
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // 1, layer 3
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // 2, layer 1
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};         // 2, layers 2-3

}  // namespace

std::optional<FrameHeader> ReadAc3Header(const uint8_t* p, size_t n) {
  if (n < 8 || p[0] != 0x0B || p[1] != 0x77) return std::nullopt;
  const int bsid = p[5] >> 3;
  if (bsid > 16) return std::nullopt;
  if (bsid > 10) return ReadEac3Header(Bits(p + 2, n - 2));
  Bits b(p + 4, n - 4);
  const uint32_t fscod = b.Get(2), code = b.Get(6);
  if (fscod == 3 || code >= 38) return std::nullopt;
  b.Skip(8);  // bsid, bsmod
  const uint32_t acmod = b.Get(3);
  if ((acmod & 1) && acmod != 1) b.Skip(2);  // centre mix level
  if (acmod & 4) b.Skip(2);                  // surround mix level
  if (acmod == 2) b.Skip(2);                 // Dolby Surround mode
  FrameHeader h;
  h.sampleRate = kAc3Rates[fscod];
  // 16-bit words: 2 per kbit/s at 48 kHz, 3 at 32 kHz; 44.1 kHz rounds down, odd codes
  // add one word.
  const int words = kAc3Kbps[code / 2] * 96000 / h.sampleRate;
  h.bytes = 2 * static_cast<size_t>(words + (fscod == 1 ? code & 1 : 0));
  h.channels = kAc3Channels[acmod] + static_cast<int>(b.Get(1));
  h.samples = 1536;
  return h;
}

std::optional<FrameHeader> ReadDtsHeader(const uint8_t* p, size_t n) {
  if (n < 11) return std::nullopt;
  if (!std::memcmp(p, "\x64\x58\x20\x25", 4)) return ReadDtsSubstream(Bits(p, n));
  if (std::memcmp(p, "\x7F\xFE\x80\x01", 4)) return std::nullopt;
  constexpr int kRates[16] = {0,     8000, 16000, 32000, 0,     0,     11025, 22050,
                              44100, 0,    0,     12000, 24000, 48000, 0,     0};
  constexpr int kChannels[16] = {1, 2, 2, 2, 2, 3, 3, 4, 4, 5, 6, 6, 6, 7, 8, 8};
  Bits b(p + 4, n - 4);
  b.Skip(1 + 5 + 1);  // frame type, deficit samples, CRC present
  const uint32_t blocks = b.Get(7) + 1, bytes = b.Get(14) + 1, amode = b.Get(6);
  const uint32_t sfreq = b.Get(4);
  b.Skip(5 + 5 + 3 + 1 + 1);  // rate, flags, extension id and flag, ASPF
  const uint32_t lfe = b.Get(2);
  if (blocks < 6 || bytes < 96 || kRates[sfreq] == 0) return std::nullopt;
  FrameHeader h;
  h.bytes = bytes;
  h.samples = static_cast<int>(blocks) * 32;
  h.sampleRate = kRates[sfreq];
  h.channels = (amode < 16 ? kChannels[amode] : 0) + (lfe == 1 || lfe == 2 ? 1 : 0);
  return h;
}

std::optional<FrameHeader> ReadAdtsHeader(const uint8_t* p, size_t n) {
  if (n < 7 || p[0] != 0xFF || (p[1] & 0xF6) != 0xF0) return std::nullopt;
  constexpr int kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                              22050, 16000, 12000, 11025, 8000,  7350};
  Bits b(p + 1, n - 1);
  b.Skip(4 + 3);  // the end of the sync word, ID, layer
  const bool noCrc = b.Get(1);
  b.Skip(2);  // profile
  const uint32_t rate = b.Get(4);
  b.Skip(1);
  const uint32_t channels = b.Get(3);
  b.Skip(4);
  const uint32_t bytes = b.Get(13);
  b.Skip(11);  // buffer fullness
  const uint32_t blocks = b.Get(2) + 1;
  if (rate >= 13 || bytes < (noCrc ? 7u : 9u)) return std::nullopt;
  FrameHeader h;
  h.bytes = bytes;
  h.samples = 1024 * static_cast<int>(blocks);
  h.sampleRate = kRates[rate];
  h.channels = channels == 7 ? 8 : static_cast<int>(channels);
  return h;
}

std::optional<FrameHeader> ReadMpegAudioHeader(const uint8_t* p, size_t n) {
  if (n < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return std::nullopt;
  const int version = (p[1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
  const int layer = 4 - ((p[1] >> 1) & 3);
  const int rateIndex = p[2] >> 4, freq = (p[2] >> 2) & 3, padding = (p[2] >> 1) & 1;
  if (version == 1 || layer == 4 || rateIndex == 0 || rateIndex == 15 || freq == 3)
    return std::nullopt;
  const bool one = version == 3;
  const int kbps = kMpegKbps[one ? layer - 1 : (layer == 1 ? 3 : 4)][rateIndex];
  constexpr int kRates[3] = {44100, 48000, 32000};
  FrameHeader h;
  h.sampleRate = kRates[freq] >> (one ? 0 : version == 2 ? 1 : 2);
  h.samples = layer == 1 ? 384 : (layer == 3 && !one ? 576 : 1152);
  // Slots of 4 bytes in layer 1, of one byte in the others.
  const int slot = layer == 1 ? 4 : 1;
  h.bytes =
      static_cast<size_t>((h.samples / 8 / slot * kbps * 1000 / h.sampleRate + padding) * slot);
  h.channels = (p[3] >> 6) == 3 ? 1 : 2;
  h.kind = version * 4 + layer;
  return h;
}

bool IsMpegInfoFrame(const uint8_t* frame, size_t bytes) {
  const auto h = ReadMpegAudioHeader(frame, bytes);
  if (!h || (h->kind & 3) != 3) return false;
  // The notes stand after the side information, whose size depends on version and mode.
  const bool one = (frame[1] & 0x08) != 0;
  const size_t side = one ? (h->channels == 1 ? 17 : 32) : (h->channels == 1 ? 9 : 17);
  auto says = [&](size_t at, const char* tag) {
    return at + 4 <= bytes && !std::memcmp(frame + at, tag, 4);
  };
  return says(4 + side, "Xing") || says(4 + side, "Info") || says(4 + 32, "VBRI");
}

}  // namespace quillet::toolkit::es
