#pragma once
// One transport stream, in 192-byte packets (their arrival time left 0), from the access
// units of several elementary streams. The packets are laid out as ffmpeg's mpegts muxer lays
// them out in its m2ts mode, because the rewriter (toolkit/M2tsPackets.h) and the Blu-ray
// checks after it were built on that layout: the same tables, sent as often; the same PES
// headers; a clock reference on the video's PID as often; the same stuffing. Each audio frame
// is a PES of its own, as Blu-ray players want.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/MuxJob.h"
#include "toolkit/es/Units.h"

namespace quillet::toolkit::es {

struct TsTrack {
  std::shared_ptr<UnitReader> reader;
  TrackCodec codec = TrackCodec::H264;  // TextSubtitle: presentation graphics
  uint16_t pid = 0;
  std::string language;  // ISO 639-2, or empty
  int sampleRate = 0;    // MPEG audio below 32 kHz is MPEG-2 audio
  Rational frameRate;    // video: how often the clock reference is sent (0/1 unknown)
};

// Takes the packets in pieces; false stops the writing.
using TsSink = std::function<bool(const uint8_t* data, size_t size)>;

// Writes every unit of every track, in decoding order across the tracks, on one clock: each
// track's times moved by the same amount, so that the lowest first decoding time is 126000
// (ffmpeg's muxer keeps 2 x 0.7 s in front of the first frame). The first track carries the
// clock reference. Reads one unit per track ahead. False with a one-line reason when a reader
// fails or the sink stops.
bool WriteTransportStream(std::vector<TsTrack>& tracks, const TsSink& sink, std::string* error);

}  // namespace quillet::toolkit::es
