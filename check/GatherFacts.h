#pragma once
// Gathering a film's facts with the inspection tools: the Matroska report tool and the
// report parser the conversion uses, the buffer checker slot, ffprobe for other files and
// mediainfo for the MPEG-4 features of AVI files, ffprobe for the bitrate of Matroska video.
// Nothing is written beside the film or in the output folder: the report goes to a temporary folder
// under $TMPDIR, removed again.

#include <string>

#include "check/MediaFacts.h"

namespace quillet {

struct Context;

MediaFacts GatherMediaFacts(Context& ctx, const std::string& path);

}  // namespace quillet
