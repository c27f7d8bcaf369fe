#pragma once
// The strict reader of a clip information file, against the clip it describes: its lengths
// and reserved fields, the EP map against the clip's key pictures, the recording rate against
// the arrival stamps, the video format and the audio rates against the streams.

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/bluray/ClipInfoFile.h"
#include "toolkit/bluray/StrictRules.h"
#include "toolkit/bluray/StrictTransportStream.h"

namespace quillet::toolkit::bluray {

// An EP map entry in whole numbers: PTS bits 32..9, the packet number.
struct EpEntry {
  uint64_t pts = 0;  // 90 kHz, the low 9 bits zero
  uint32_t spn = 0;
};

// Checks `bytes`; `clip` is what the pass over the clip found (nullptr: no clip).
// False when the file is not a clip information file at all (said as a break of "length").
bool CheckClipInfo(const std::vector<uint8_t>& bytes, const TransportFacts* clip,
                   const StrictOptions& options, RuleLog* log, ClipInfoView* view);

// The entries an EP map stands for; breaks "ep-map" where coarse and fine disagree.
std::vector<EpEntry> EpEntries(const EpMap& map, RuleLog* log);

}  // namespace quillet::toolkit::bluray
