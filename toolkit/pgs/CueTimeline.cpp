#include "toolkit/pgs/CueTimeline.h"

#include <algorithm>
#include <cmath>

namespace quillet::toolkit::pgs {

int64_t FrameTime90k(int64_t ms, double fps) {
  if (fps <= 0) return ms * 90;
  double frame = std::round(static_cast<double>(ms) * fps / 1000.0);
  // Matroska keeps the video's frame times to the millisecond (rounded, halves up): the
  // cue goes on that clock, not on the exact frame grid, or half of them would come a
  // frame late on a 23.976 film. The nudge keeps a half that the division left a hair
  // below it.
  return std::llround(frame * 1000.0 / fps + 1e-6) * 90;
}

std::vector<ShownCues> VisibleCueSets(const std::vector<Cue>& cues, double fps) {
  struct Span {
    int64_t start, end;
  };
  std::vector<Span> spans;
  std::vector<int64_t> bounds;
  for (const Cue& cue : cues) {
    Span s{FrameTime90k(cue.startMs, fps), FrameTime90k(cue.endMs, fps)};
    spans.push_back(s);
    if (s.end > s.start) bounds.insert(bounds.end(), {s.start, s.end});
  }
  std::sort(bounds.begin(), bounds.end());
  bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
  std::vector<ShownCues> shown;
  for (size_t b = 0; b + 1 < bounds.size(); ++b) {
    ShownCues piece{bounds[b], bounds[b + 1], {}};
    for (size_t i = 0; i < spans.size(); ++i)
      if (spans[i].start <= piece.start && spans[i].end >= piece.end &&
          spans[i].end > spans[i].start)
        piece.cues.push_back(i);
    if (piece.cues.empty()) continue;
    if (!shown.empty() && shown.back().end == piece.start && shown.back().cues == piece.cues)
      shown.back().end = piece.end;
    else
      shown.push_back(std::move(piece));
  }
  return shown;
}

}  // namespace quillet::toolkit::pgs
