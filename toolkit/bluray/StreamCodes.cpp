#include "toolkit/bluray/StreamCodes.h"

#include <cctype>
#include <cmath>

namespace quillet::toolkit::bluray {

StreamKind KindOf(StreamCoding coding) {
  if (coding == StreamCoding::kPgs) return StreamKind::kSubtitle;
  const bool video = coding == StreamCoding::kMpeg1Video || coding == StreamCoding::kMpeg2Video ||
                     coding == StreamCoding::kH264 || coding == StreamCoding::kVc1;
  return video ? StreamKind::kVideo : StreamKind::kAudio;
}

uint8_t VideoFormatCode(int width, int height, bool interlaced, double framesPerSecond) {
  (void)width;
  if (height <= 480) return interlaced ? 1 : 3;
  if (height <= 576) return interlaced ? 2 : 7;
  if (height <= 720 && !interlaced) return 5;
  // 1080 lines are progressive only at 23.976 and 24 frames; 25 and 29.97 frames a second
  // go as 1080i, the way camcorders record 25p in 50i (the stream stays as it is).
  const uint8_t rate = FrameRateCode(framesPerSecond);
  return interlaced || rate == 3 || rate == 4 ? 4 : 6;
}

uint8_t FrameRateCode(double fps) {
  struct Rate {
    double fps;
    uint8_t code;
  };
  static const Rate kRates[] = {{24000.0 / 1001, 1}, {24, 2}, {25, 3},
                                {30000.0 / 1001, 4}, {50, 6}, {60000.0 / 1001, 7}};
  uint8_t best = 1;
  double bestDistance = 1e9;
  for (const Rate& rate : kRates) {
    const double distance = std::fabs(rate.fps - fps);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = rate.code;
    }
  }
  return best;
}

uint8_t AspectCode(int width, int height) {
  if (width <= 0 || height <= 0) return 3;
  // 720x480 and 720x576 frames are stored 4:3 unless they are anamorphic; without the
  // sample aspect we go by the frame shape.
  return double(width) / height >= 1.5 ? 3 : 2;
}

uint8_t AudioFormatCode(int channels) {
  if (channels == 1) return 1;
  if (channels == 2 || channels <= 0) return 3;
  return 6;
}

uint8_t SampleRateCode(int sampleRate) {
  if (sampleRate == 96000) return 4;
  if (sampleRate == 192000) return 5;
  return 1;
}

std::string LanguageCode(const std::string& language) {
  if (language.size() != 3) return "und";
  std::string code;
  for (char c : language) {
    if (!std::isalpha(static_cast<unsigned char>(c))) return "und";
    code.push_back(char(std::tolower(static_cast<unsigned char>(c))));
  }
  return code;
}

uint32_t FrameDuration90k(double fps) {
  if (fps <= 0) fps = 24000.0 / 1001;
  return uint32_t(std::lround(90000.0 / fps));
}

}  // namespace quillet::toolkit::bluray
