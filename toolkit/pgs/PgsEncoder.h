#pragma once
// Cues to a presentation-graphics stream (.sup bytes): each distinct set of cues seen
// together drawn as one picture, shown from the frame its first cue starts on to the
// frame it ends on. Neighbouring sets with the same texts are one picture.

#include <ostream>

#include "toolkit/pgs/CueTimeline.h"
#include "toolkit/pgs/SrtReader.h"
#include "toolkit/pgs/SubtitleStyle.h"

namespace quillet::toolkit::pgs {

struct PgsResult {
  size_t pictures = 0;   // none when no cue draws anything
  bool stopped = false;  // a stop signal came (Interrupted()) before the end
  FilmFit fit;
};

// Writes the stream to `out` as the pictures are drawn (two at a time), keeping none.
// The cues are first fitted to the film (filmEndMs <= 0: its length is unknown).
// fps <= 0 keeps the times to the millisecond.
PgsResult EncodePgs(SrtFile& cues, const SubtitleStyle& style, double fps, int64_t filmEndMs,
                    std::ostream& out);

}  // namespace quillet::toolkit::pgs
