#pragma once
// The clip information file (BDMV/CLIPINF/NNNNN.clpi): what a player needs to know about
// one .m2ts before it reads it: its size and rate, its time span, its streams, and the
// EP map that turns a time into the packet to start reading from.

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/bluray/BluRayFolder.h"
#include "toolkit/bluray/TsScan.h"

namespace quillet::toolkit::bluray {

struct ClipInfo {
  uint32_t sourcePackets = 0;
  uint32_t tsRecordingRate = 0;  // bytes per second
  uint16_t pmtPid = 0x0100;
  uint16_t pcrPid = 0x1001;
  uint32_t firstPcrSpn = 0;
  uint32_t presentationStart = 0;  // 45 kHz
  uint32_t presentationEnd = 0;    // 45 kHz
  std::vector<ClipStream> streams;
  uint16_t videoPid = 0x1011;
  std::vector<EntryPoint> entryPoints;  // in stream order
};

// The EP map of one PID in its stored form: coarse entries hold the high bits of time
// and packet number, fine entries the low bits of every entry point.
struct EpCoarse {
  uint32_t refToFine = 0;  // 18 bits: the first fine entry it covers
  uint16_t pts = 0;        // 14 bits: PTS bits 32..19
  uint32_t spn = 0;        // the whole packet number of that fine entry
};
struct EpFine {
  uint8_t endPositionOffset = 0;  // 3 bits: how far the key picture reaches
  uint16_t pts = 0;               // 11 bits: PTS bits 19..9
  uint32_t spn = 0;               // 17 bits: packet number bits 16..0
};
struct EpMap {
  std::vector<EpCoarse> coarse;
  std::vector<EpFine> fine;
};

EpMap BuildEpMap(const std::vector<EntryPoint>& points);
// The 3-bit code for a key picture spanning `packets` source packets.
uint8_t EndPositionOffsetCode(uint32_t packets);

std::vector<uint8_t> WriteClipInfo(const ClipInfo& clip);

// What a reader finds in a clip information file (for checks and tests).
struct ClipInfoView {
  uint8_t streamType = 0;
  uint8_t applicationType = 0;
  uint32_t tsRecordingRate = 0;
  uint32_t sourcePackets = 0;
  uint16_t pcrPid = 0;
  uint32_t stcStartSpn = 0;
  uint32_t presentationStart = 0;
  uint32_t presentationEnd = 0;
  uint16_t pmtPid = 0;
  struct Stream {
    uint16_t pid = 0;
    uint8_t coding = 0;
    uint8_t format = 0;
    uint8_t rate = 0;
    std::string language;
  };
  std::vector<Stream> streams;
  uint16_t epPid = 0;
  uint8_t epStreamType = 0;
  EpMap ep;
};
bool ReadClipInfo(const std::vector<uint8_t>& bytes, ClipInfoView* view, std::string* error);

}  // namespace quillet::toolkit::bluray
