#pragma once
// The strict reader of a Blu-ray folder as a whole: every clip's transport stream, its clip
// information against it, the playlists against the clip information, the index and the
// movie objects.

#include <string>

#include "toolkit/bluray/StrictRules.h"

namespace quillet::toolkit::bluray {

// `folder` holds BDMV/.
StrictResult CheckBluRayFolder(const std::string& folder, const StrictOptions& options = {});

}  // namespace quillet::toolkit::bluray
