#pragma once
// The strict reader of one transport stream (192-byte M2TS or 188-byte TS packets), in one
// streaming pass: packet sync, continuity, arrival order, clock and table gaps, parameter
// sets at key pictures, languages and audio sample rates. What the pass learns about the
// stream (its PMT, its key pictures, the arrival gaps) is kept for the folder's checks.

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/bluray/StrictRules.h"

namespace quillet::toolkit::bluray {

StrictResult CheckTransportStreamFile(const std::string& path, StreamUse use,
                                      const StrictOptions& options = {});

// One elementary stream of the PMT and what its bytes say.
struct StreamFacts {
  uint16_t pid = 0;
  uint8_t type = 0;            // stream_type
  std::string language;        // of its ISO 639 descriptor; empty when it has none
  int sampleRate = 0;          // audio, from the first frame; 0: not found
  int width = 0, height = 0;   // video, from the sequence header / SPS
  bool interlaced = false;     // video may hold fields
  double framesPerSecond = 0;  // video, from the time stamps
};

// A video PES start: where, when, and what it begins.
struct PictureStart {
  uint32_t spn = 0;  // packet number
  uint64_t pts = 0;  // 90 kHz
  bool key = false;  // an IDR / I picture with a sequence header, or flagged random access
  bool parameterSets = false;  // SPS and PPS (or a sequence header) before its first slice
};

struct TransportFacts {
  int packetSize = 0;  // 188 or 192
  uint32_t packets = 0;
  uint16_t pmtPid = 0, pcrPid = 0x1fff;
  std::vector<StreamFacts> streams;  // in PMT order
  uint16_t videoPid = 0;
  std::vector<PictureStart> pictures;  // of the first video stream, in stream order
  uint32_t smallestArrivalGap = 0;     // 27 MHz; 0: none measured
};

StrictResult CheckTransportStreamFile(const std::string& path, StreamUse use,
                                      const StrictOptions& options, TransportFacts* facts);

// Stream types by what they carry.
bool IsVideoType(uint8_t type);
bool IsAudioType(uint8_t type);
bool IsSubtitleType(uint8_t type);

}  // namespace quillet::toolkit::bluray
