#pragma once
// The strict reader of a movie playlist, against the clip information of its clips: lengths
// and reserved fields, in and out times, chapter marks, the stream table and its languages.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "toolkit/bluray/ClipInfoFile.h"
#include "toolkit/bluray/StrictRules.h"

namespace quillet::toolkit::bluray {

// `clips` by name ("00000"); `wholeClips`: every item plays its whole clip (the title's
// playlist), not a stretch of it.
void CheckPlaylist(const std::vector<uint8_t>& bytes,
                   const std::map<std::string, ClipInfoView>& clips, bool wholeClips,
                   const StrictOptions& options, RuleLog* log);

}  // namespace quillet::toolkit::bluray
