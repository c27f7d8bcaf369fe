#pragma once
// One pass over a Blu-ray transport stream (192-byte source packets: a 4-byte arrival
// time stamp before each 188-byte TS packet) for what the clip information needs: the
// packet count, the program map and clock PIDs, the video's time span and its random
// access points, and the shortest gap between two packets' arrival times.

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/bluray/BluRayFolder.h"

namespace quillet::toolkit::bluray {

constexpr int kSourcePacketSize = 192;

// A place where decoding can start: a video PES with a key picture.
struct EntryPoint {
  uint64_t pts = 0;      // 90 kHz
  uint32_t spn = 0;      // source packet number of the packet that starts the PES
  uint32_t packets = 0;  // source packets up to the next video PES (the picture's span)
};

struct TsScanResult {
  uint32_t sourcePackets = 0;
  uint16_t pmtPid = 0x0100;
  uint16_t pcrPid = 0x1fff;  // none seen
  uint32_t firstPcrSpn = 0;
  bool hasVideoPts = false;
  uint64_t firstVideoPts = 0;  // 90 kHz, smallest
  uint64_t lastVideoPts = 0;   // 90 kHz, largest
  std::vector<EntryPoint> entryPoints;
  uint32_t shortestArrivalGap = 0;  // 27 MHz ticks; 0 with fewer than two packets
};

// Scans `path` for the video PID. False with a one-line reason when the file cannot be
// read or is not made of 192-byte packets.
bool ScanTransportStream(const std::string& path, uint16_t videoPid, StreamCoding videoCoding,
                         TsScanResult* result, std::string* error);

// What the start of a PES payload says of the picture it begins: one a decoder can start
// from (sequence headers or an IDR picture), one it cannot, or nothing yet (the picture's
// start lies beyond these bytes).
enum class PictureKind { kKey, kNotKey, kUnknown };
PictureKind KindOfPicture(const uint8_t* payload, size_t size, StreamCoding coding);

}  // namespace quillet::toolkit::bluray
