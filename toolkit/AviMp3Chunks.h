#pragma once
// mencoder copies MP3 sound from an AVI read through lavf several frames to a chunk,
// under a header that counts each chunk as one frame: players read the sound as a
// fraction of the film's length, and ffmpeg times it far beyond the film's end. The sound
// is put back one MP3 frame to a chunk under a frame-based header (scale = samples per
// frame, rate = sample rate, sample size 0, length = frames), the header a player reads
// for VBR MP3.

#include <string>

namespace quillet::toolkit {

// Rewrites an AVI whose sound is MP3 with one frame to a chunk, through files in the
// scratch folder. True when the AVI holds no MP3 sound or was rewritten whole.
bool RechunkAviMp3(const std::string& avi, const std::string& scratch);

}  // namespace quillet::toolkit
