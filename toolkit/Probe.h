#pragma once
// What ffprobe says about the streams of a file.

#include <optional>
#include <string>
#include <vector>

#include "base/Ffprobe.h"

namespace quillet::toolkit {

// The audio filter that names side surround channels as back ones ("5.1(side)" -> "5.1"),
// the layout Windows WAV files and the AAC and AC3 encoders take for 5.1; empty for any
// other layout. It renames the channels, it does not mix them.
std::string BackSurroundFilter(const std::string& channelLayout);

// The length of a file in seconds as ffprobe finds it; nullopt when it finds none.
std::optional<double> ProbeSeconds(const std::string& path);

// Runs ffprobe on a file; nullopt (with a log line) when it cannot be read.
std::optional<std::vector<ProbedStream>> ProbeStreams(const std::string& path);

}  // namespace quillet::toolkit
