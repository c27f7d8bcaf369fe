#pragma once
// Cues to a presentation-graphics stream (.sup bytes): each distinct set of cues seen
// together drawn as one picture, shown from the frame its first cue starts on to the
// frame it ends on.

#include <optional>
#include <string>
#include <vector>

#include "toolkit/pgs/SrtReader.h"
#include "toolkit/pgs/SubtitleStyle.h"

namespace quillet::toolkit::pgs {

// nullopt when no cue draws anything, or when a stop signal came (Interrupted()) before
// the last picture was drawn. fps <= 0 keeps the times to the millisecond.
std::optional<std::string> EncodePgs(const std::vector<Cue>& cues, const SubtitleStyle& style,
                                     double fps);

}  // namespace quillet::toolkit::pgs
