#pragma once
// The video's clock as the muxer's input carries it: mkvmerge stamps the frames of a raw
// stream at n frame durations, a frame lasting two fields of whole nanoseconds, rounded to
// the millisecond. ffmpeg writes these milliseconds into the transport stream, and subtitles
// go on the same clock so that they change with the picture.

#include <cmath>
#include <cstdint>

namespace quillet::toolkit::es {

inline int64_t FrameMs(int64_t frame, double fps) {
  if (frame < 0) return -FrameMs(-frame, fps);
  // The truncated field makes a frame at an exact half millisecond (every 24th at 23.976)
  // round down, and later frames drift a little below the exact grid.
  const auto fieldNs = static_cast<int64_t>(std::floor(1e9 / (2 * fps) + 1e-6));
  return (frame * 2 * fieldNs + 500000) / 1000000;
}

inline int64_t FrameTicks(int64_t frame, double fps) {
  return FrameMs(frame, fps) * 90;
}

}  // namespace quillet::toolkit::es
