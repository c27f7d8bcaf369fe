#pragma once
// When which cues are on screen: cues fitted to the film, times moved to the nearest
// frame boundary, and one interval for each distinct set of cues seen together
// (overlapping cues are drawn as one picture).

#include <cstdint>
#include <optional>
#include <queue>
#include <vector>

#include "toolkit/pgs/SrtReader.h"

namespace quillet::toolkit::pgs {

// A time in milliseconds at the nearest frame boundary, that frame's time as the video
// carries it (es::FrameMs), in 90 kHz ticks.
int64_t FrameTime90k(int64_t ms, double fps);

// What fitting the cues to the film did.
struct FilmFit {
  size_t shifted = 0;       // started before the film: shown from its start
  size_t endedBefore = 0;   // ended before the film started: left out
  size_t startedAfter = 0;  // started at or after the film's end: left out
};

// Cues sorted by start stay so. filmEndMs <= 0 when the film's length is unknown.
FilmFit FitToFilm(std::vector<CueSpan>& cues, int64_t filmEndMs);

struct ShownCues {
  int64_t start = 0, end = 0;  // 90 kHz
  std::vector<size_t> cues;    // indexes into the cue list, in the list's order
};

// The intervals of cues sorted by start, one after another in time order, none empty
// and none with an empty set; each differs in its set from the one before. Cues that
// last less than a frame are left out. A sweep over the starts with the ends of the
// cues on screen in a heap: n log n for n cues.
class CueTimeline {
 public:
  CueTimeline(const std::vector<CueSpan>& cues, double fps) : cues_(cues), fps_(fps) {}
  // nullopt after the last.
  std::optional<ShownCues> Next();

 private:
  int64_t Start(size_t i) const { return FrameTime90k(cues_[i].startMs, fps_); }
  int64_t End(size_t i) const { return FrameTime90k(cues_[i].endMs, fps_); }
  // The time of the next start or end, INT64_MAX when none is left.
  int64_t NextChange();

  using Ending = std::pair<int64_t, size_t>;  // end, cue
  const std::vector<CueSpan>& cues_;
  double fps_;
  size_t next_ = 0;  // the next cue to start
  std::priority_queue<Ending, std::vector<Ending>, std::greater<Ending>> ends_;
  std::vector<size_t> shown_;  // sorted
};

}  // namespace quillet::toolkit::pgs
