#pragma once
// A mux job with --blu-ray: the clips are muxed into a hidden folder beside the result,
// the BD-ROM structure is written around them, and the finished folder takes its place.

#include <optional>
#include <string>
#include <vector>

#include "toolkit/MuxInputs.h"
#include "toolkit/bluray/BluRayFolder.h"

namespace quillet::toolkit {

class Staging;

// What the navigation files say about the planned streams; nullopt with a one-line
// reason for a stream no Blu-ray disc carries (AAC).
std::optional<std::vector<bluray::ClipStream>> ClipStreamsOf(const MuxPlan& plan,
                                                             std::string* error);

// Writes the folder `out` (replacing an earlier Blu-ray folder there). False with a
// one-line reason; nothing is then left at `out`.
bool MuxBluRayFolder(const MuxJob& job, const MuxPlan& plan, const std::string& out,
                     Staging& staging, std::string* error);

}  // namespace quillet::toolkit
