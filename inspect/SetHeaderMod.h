#pragma once
// Making an H.264 stream that declares level 5.1 declare level 4.1, in place or
// through the header tool.

#include <string>

#include "app/App.h"

namespace quillet {

// Patches the level byte of the stream's sequence parameter sets to 4.1 in place.
void SetHeaderLevel(const std::string& path);

// Has the header tool rewrite folder + "movie_raw.h264" into folder + "movie.h264";
// the input stream is deleted in any case.
void RunH264Info(App& app, const std::string& folder);

}  // namespace quillet
