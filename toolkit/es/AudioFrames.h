#pragma once
// The frame headers of raw audio streams: how long a frame is, how many samples it holds,
// and what it says of the sound. A reader walks a stream with them frame by frame.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quillet::toolkit::es {

struct FrameHeader {
  size_t bytes = 0;  // the whole frame, header included
  // Samples per channel; 0 for a part that belongs to the frame before it (an E-AC-3
  // dependent substream, a DTS-HD extension substream).
  int samples = 0;
  int sampleRate = 0, channels = 0;
  int kind = 0;  // frames of one stream agree on it (MPEG version and layer)
};

// Headers need at most this many bytes.
constexpr size_t kFrameHeaderBytes = 16;

// Each reads the header at p, of which n bytes are there; nullopt when p holds none.
std::optional<FrameHeader> ReadAc3Header(const uint8_t* p, size_t n);  // and E-AC-3
std::optional<FrameHeader> ReadDtsHeader(const uint8_t* p, size_t n);  // core, HD substream
std::optional<FrameHeader> ReadAdtsHeader(const uint8_t* p, size_t n);
std::optional<FrameHeader> ReadMpegAudioHeader(const uint8_t* p, size_t n);  // layers 1-3

// A layer 3 frame that carries the encoder's notes (Xing, Info, VBRI) instead of sound;
// decoders and ffmpeg's reader pass over it.
bool IsMpegInfoFrame(const uint8_t* frame, size_t bytes);

}  // namespace quillet::toolkit::es
