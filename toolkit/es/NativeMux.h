#pragma once
// Raw elementary streams muxed with our own packetizer (TsPacketizer.h): their access units
// read straight from the files, so that no tool has to wrap the video first to order its
// frames, and no pipe stands between the muxing and the rewriting of the packets.

#include <memory>
#include <optional>
#include <string>

#include "toolkit/MuxInputs.h"
#include "toolkit/es/TsPacketizer.h"

namespace quillet::toolkit {

// The frames of a raw H.264 line (its level patched as the line asks), indexed, and what
// they tell of the stream as ffprobe would give it (size, field coding, rate, length),
// without decoding a picture. The packetizer takes their bytes. nullopt with a one-line
// reason.
std::optional<MuxInput> OpenRawVideo(const MuxTrack& track, const std::string& path,
                                     std::string* error);

// Writes the plan's streams (every one a raw elementary stream, see MuxPlan::ownPacketizer)
// as one transport stream into the sink. False with a one-line reason.
bool WriteOwnTransportStream(const MuxPlan& plan, const es::TsSink& sink, std::string* error);

}  // namespace quillet::toolkit
