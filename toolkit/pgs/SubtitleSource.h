#pragma once
// Where a text subtitle line's cues come from: a SubRip file, or a text track of a
// Matroska file (track=N counts its tracks from 1), taken out with mkvextract.

#include <optional>
#include <string>

#include "toolkit/MuxJob.h"
#include "toolkit/pgs/SrtReader.h"

namespace quillet::toolkit::pgs {

// The cues, sorted by start; nullopt with a one-line reason (missing file, no such text
// track, a track of another kind, a stop signal).
std::optional<SrtFile> LoadCues(const MuxTrack& track, const std::string& scratch,
                                std::string* error);

}  // namespace quillet::toolkit::pgs
