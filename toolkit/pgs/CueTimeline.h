#pragma once
// When which cues are on screen: times moved to the nearest frame boundary, and one
// interval for each distinct set of cues seen together (overlapping cues are drawn as
// one picture).

#include <cstdint>
#include <vector>

#include "toolkit/pgs/SrtReader.h"

namespace quillet::toolkit::pgs {

// A time in milliseconds at the nearest frame boundary, that frame's time as the video
// carries it (to the millisecond), in 90 kHz ticks.
int64_t FrameTime90k(int64_t ms, double fps);

struct ShownCues {
  int64_t start = 0, end = 0;  // 90 kHz
  std::vector<size_t> cues;    // indexes into the cue list, in the list's order
};

// Intervals in time order, none empty and none with an empty set; neighbours with the
// same set are one interval. Cues that last less than a frame are dropped.
std::vector<ShownCues> VisibleCueSets(const std::vector<Cue>& cues, double fps);

}  // namespace quillet::toolkit::pgs
