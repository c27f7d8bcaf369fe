#include "convert/Arithmetic.h"

#include <cctype>
#include <cstdio>

namespace quillet {

int64_t RoundHalfEven(int64_t num, int64_t den) {
  if (den < 0) num = -num, den = -den;
  int64_t q = num / den;
  int64_t r = num % den;
  if (r < 0) r += den, q -= 1;  // floor division: 0 <= r < den
  if (2 * r > den || (2 * r == den && q % 2 != 0)) q += 1;
  return q;
}

namespace {

// Thousands of bytes set aside per ten seconds for the audio track.
int64_t AudioRate(const BitrateInputs& in) {
  if (in.audioExt == "dts" && in.avchd) return 1500;
  if (in.avchd || in.vob) return 640;
  return 256;
}

}  // namespace

std::string H264BitrateText(const BitrateInputs& in) {
  const int64_t d = in.durationSeconds;
  int64_t bitrate = 8000;
  if (d != 0) {
    const int64_t audio = RoundHalfEven(d * AudioRate(in), 10);
    const int64_t v = in.target - audio;
    const bool transportStream = in.avchd || in.vob;
    int64_t cap = 25000;
    if (in.fitTo && transportStream) {
      bitrate = RoundHalfEven(99 * v, 10 * d);  // 0.99 x V x 10 / D
    } else if (in.fitTo) {
      bitrate = RoundHalfEven(99 * v, 100 * d);  // 0.99 x V / D: a tenth of the row above
    } else if (transportStream) {
      bitrate = RoundHalfEven(9 * v, d);  // 0.9 x V x 10 / D
      cap = 20000;
    } else {
      bitrate = RoundHalfEven(98 * v, 10 * d);  // 0.98 x V x 10 / D
    }
    if (bitrate > cap) bitrate = cap;
  }
  if (bitrate < 500) bitrate = 6000;
  return std::to_string(bitrate);
}

std::string XvidBitrateText(int64_t durationSeconds, int64_t targetKilobits) {
  const int64_t d = durationSeconds;
  int64_t bitrate = 6000;
  if (d > 0) {
    const int64_t audio = RoundHalfEven(d * 640, 10);
    const int64_t video = targetKilobits - audio;
    bitrate = RoundHalfEven(98 * video, 100 * d);  // 0.98 x video / D
    if (bitrate > 25000) bitrate = 25000;
  }
  if (bitrate < 500) bitrate = 6000;
  return std::to_string(bitrate);
}

int64_t AviSplitSizeMb(int64_t muxedBytes) {
  const int64_t megabytes = RoundHalfEven(muxedBytes, 1024000);
  const int64_t more = megabytes / 4000;
  return more > 0 ? megabytes / (more + 1) : 4000;
}

std::string GeneralNumberText(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

std::string EncoderFpsText(const std::string& frameRate) {
  if (frameRate == "23.976") return "31001/1293";
  const std::string firstTwo = frameRate.substr(0, 2);
  if (frameRate.size() >= 4 && frameRate[3] == '9') {
    int value = 0;  // the leading digits as a number, 0 when there are none
    for (char c : firstTwo) {
      if (!std::isdigit(static_cast<unsigned char>(c))) break;
      value = value * 10 + (c - '0');
    }
    return std::to_string(value + 1) + "000/1001";
  }
  return firstTwo;
}

}  // namespace quillet
