#include "toolkit/pgs/CueTimeline.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "toolkit/es/FrameClock.h"

namespace quillet::toolkit::pgs {

int64_t FrameTime90k(int64_t ms, double fps) {
  if (fps <= 0) return ms * 90;
  // The cue goes on the video's millisecond clock, not on the exact frame grid, or half of
  // them would come a frame late on a 23.976 film.
  return es::FrameTicks(std::llround(static_cast<double>(ms) * fps / 1000.0), fps);
}

FilmFit FitToFilm(std::vector<CueSpan>& cues, int64_t filmEndMs) {
  FilmFit fit;
  auto kept = std::remove_if(cues.begin(), cues.end(), [&](CueSpan& cue) {
    if (cue.endMs <= 0) return ++fit.endedBefore, true;
    if (filmEndMs > 0 && cue.startMs >= filmEndMs) return ++fit.startedAfter, true;
    if (cue.startMs < 0) cue.startMs = 0, ++fit.shifted;
    return false;
  });
  cues.erase(kept, cues.end());
  return fit;
}

int64_t CueTimeline::NextChange() {
  // Cues shorter than a frame never show.
  while (next_ < cues_.size() && End(next_) <= Start(next_)) ++next_;
  int64_t at = next_ < cues_.size() ? Start(next_) : std::numeric_limits<int64_t>::max();
  return ends_.empty() ? at : std::min(at, ends_.top().first);
}

std::optional<ShownCues> CueTimeline::Next() {
  for (int64_t at = NextChange(); at != std::numeric_limits<int64_t>::max(); at = NextChange()) {
    for (; !ends_.empty() && ends_.top().first == at; ends_.pop())
      shown_.erase(std::lower_bound(shown_.begin(), shown_.end(), ends_.top().second));
    for (; next_ < cues_.size() && Start(next_) == at; ++next_) {
      if (End(next_) <= at) continue;
      shown_.insert(std::upper_bound(shown_.begin(), shown_.end(), next_), next_);
      ends_.push({End(next_), next_});
    }
    if (!shown_.empty()) return ShownCues{at, NextChange(), shown_};
  }
  return std::nullopt;
}

}  // namespace quillet::toolkit::pgs
