#pragma once
// Elementary streams read straight from their files, one access unit at a time, for the
// transport-stream muxer: a video frame (both fields of a field pair), an audio frame, a
// presentation-graphics segment. Each comes with its decoding and presentation times, so
// that no other tool has to order the frames.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillet::toolkit::es {

// 90 kHz ticks on the stream's own clock: the first frame shown is at 0 (audio: the first
// frame; video: the first in display order). A video frame decoded before that one has a
// negative decoding time.
struct Unit {
  std::vector<uint8_t> bytes;  // the PES payload, as written
  int64_t pts = 0;
  int64_t dts = 0;   // equals pts for audio and subtitles
  bool key = false;  // video: a player may start decoding here
};

class UnitReader {
 public:
  virtual ~UnitReader() = default;
  // The next unit in decoding order. False at the end, or on a fault (Error() says which).
  virtual bool Next(Unit& unit) = 0;
  // Empty unless reading failed: a one-line reason.
  virtual const std::string& Error() const = 0;
};

}  // namespace quillet::toolkit::es
