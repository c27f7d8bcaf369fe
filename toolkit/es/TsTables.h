#pragma once
// The program tables of a transport stream with one program, each in one 188-byte packet, as
// ffmpeg's mpegts muxer writes them in its m2ts mode: the PAT names the PMT on PID 0x100; the
// PMT carries the HDMV registration, an AC3 stream its own registration, and audio and
// subtitle streams their language.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/MuxJob.h"

namespace quillet::toolkit::es {

inline constexpr uint16_t kPmtPid = 0x100;
using TsPacket = std::array<uint8_t, 188>;

struct ProgramStream {
  TrackCodec codec = TrackCodec::H264;
  uint16_t pid = 0;
  std::string language;  // ISO 639-2, or empty
  int sampleRate = 0;    // MPEG audio below 32 kHz is MPEG-2 audio
};

// The stream type the PMT gives a codec (0x1B H.264, 0x81 AC3, 0x90 presentation graphics ...).
uint8_t StreamTypeOf(const ProgramStream& stream);

TsPacket PatPacket(uint8_t continuity);
// nullopt when the table does not fit one packet.
std::optional<TsPacket> PmtPacket(const std::vector<ProgramStream>& streams, uint16_t pcrPid,
                                  uint8_t continuity);

}  // namespace quillet::toolkit::es
