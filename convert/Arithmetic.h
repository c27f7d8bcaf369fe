#pragma once
// The conversion's size and bitrate arithmetic, exact in integers: sizes in bytes are
// turned into thousands of bytes rounded to the nearest, halves to the even neighbour.

#include <cstdint>
#include <string>

namespace quillet {

// num / den rounded to the nearest whole number, halves to the even neighbour.
int64_t RoundHalfEven(int64_t num, int64_t den);

// A size in bytes as thousands of bytes (kB), rounded as above.
inline int64_t ThousandsRounded(int64_t bytes) {
  return RoundHalfEven(bytes, 1000);
}

// What the H.264 bitrate depends on.
struct BitrateInputs {
  int64_t durationSeconds = 0;  // lngDuration, 0 when the report gave none
  int64_t target = 0;           // "Fit to" target, or the source size in kB
  std::string audioExt;
  bool fitTo = false;  // chkDVD
  bool avchd = false;  // chkAVCHD
  bool vob = false;    // chkVob
};

// The encoder's bitrate text: the duration and the target give the rate, capped at
// 25000 (20000 for a non-"Fit to" AVCHD or VOB output); no duration gives "8000" and a
// rate below 500 gives "6000".
std::string H264BitrateText(const BitrateInputs& in);

// The Xvid encoder's bitrate text from the film's length and the target in kilobits:
// 64 kbit/s are kept for the sound, 98 % of the rest spread over the film, capped at
// 25000; no length, or a rate below 500, gives "6000".
std::string XvidBitrateText(int64_t durationSeconds, int64_t targetKilobits);

// The part size (MB of 1,024,000 bytes) the AVI muxer cuts at, for the video and sound
// it joins: equal parts of at most 4000 MB, or 4000 when one part holds it all.
int64_t AviSplitSizeMb(int64_t muxedBytes);

// A number as a general number: up to 15 significant digits, no trailing zeros
// (720, 533.333333333333).
std::string GeneralNumberText(double value);

// The encoder's output frame rate for a frame-rate text: "23.976" -> "31001/1293",
// "29.970" -> "30000/1001", "25.000" -> "25".
std::string EncoderFpsText(const std::string& frameRate);

}  // namespace quillet
