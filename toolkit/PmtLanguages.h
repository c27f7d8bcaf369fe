#pragma once
// ffmpeg's transport-stream muxer names the language of audio streams in the PMT but not
// that of presentation-graphics subtitles; readers of the .m2ts (ffprobe, players that
// list subtitle languages) find it in an ISO 639 language descriptor of the stream.

#include <cstdint>
#include <map>
#include <string>

namespace quillet::toolkit::m2ts {

// Adds a language descriptor (tag 0x0A) to each elementary stream of the PMT section in
// this 188-byte packet whose PID is in `languages` and that has none yet, and recomputes
// the CRC. False when the packet holds no whole PMT section or the result does not fit.
bool AddPmtLanguages(uint8_t* ts, const std::map<uint16_t, std::string>& languages);

}  // namespace quillet::toolkit::m2ts
