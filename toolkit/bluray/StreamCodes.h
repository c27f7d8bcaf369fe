#pragma once
// The codes the clip information and the playlist use to describe a stream: video
// format and frame rate, audio layout and sample rate, language.

#include <cstdint>
#include <string>

#include "toolkit/bluray/BluRayFolder.h"

namespace quillet::toolkit::bluray {

enum class StreamKind { kVideo, kAudio, kSubtitle };

StreamKind KindOf(StreamCoding coding);

// 1 480i, 2 576i, 3 480p, 4 1080i, 5 720p, 6 1080p, 7 576p; a frame size between the
// standard ones takes the next larger standard height. 1080 lines at 25 or 29.97/30
// frames a second are 1080i.
uint8_t VideoFormatCode(int width, int height, bool interlaced, double framesPerSecond);
// 1 23.976, 2 24, 3 25, 4 29.97, 6 50, 7 59.94 (the nearest of them).
uint8_t FrameRateCode(double framesPerSecond);
// 2 for 4:3 pictures, 3 for wide ones.
uint8_t AspectCode(int width, int height);
// 1 mono, 3 stereo, 6 multi-channel.
uint8_t AudioFormatCode(int channels);
// 1 48 kHz, 4 96 kHz, 5 192 kHz; other rates are stored as 48 kHz, the only one every
// player must take.
uint8_t SampleRateCode(int sampleRate);
// Three lower-case letters, or "und".
std::string LanguageCode(const std::string& language);

// Frame duration in 90 kHz ticks (3754 for 23.976).
uint32_t FrameDuration90k(double framesPerSecond);

}  // namespace quillet::toolkit::bluray
