#pragma once
// Tool slots (relative to the program folder, written as in the tool table; spelled in
// base/ToolSlots.h) and the fixed names of the working files in the output folder.

#include <string>

#include "base/ToolSlots.h"

namespace quillet {

namespace tool {
inline constexpr const char* kMkvExtract = slot::kMkvExtract.program;
inline constexpr const char* kMkvMerge = slot::kMkvMerge.program;
inline constexpr const char* kFFmpeg = slot::kFFmpeg.program;
inline constexpr const char* kMP4Box = slot::kMP4Box.program;
inline constexpr const char* kMp4Creator = slot::kMp4Creator.program;
inline constexpr const char* kBeSweet = slot::kBeSweet.program;
inline constexpr const char* kSoundStretch = slot::kSoundStretch.program;
inline constexpr const char* kNormalize = slot::kNormalize.program;
inline constexpr const char* kWavGrab = slot::kWavGrab.program;
inline constexpr const char* kValDec = slot::kValDec.program;
inline constexpr const char* kMencoder = slot::kMencoder.program;
inline constexpr const char* kTsMuxer = slot::kTsMuxer.program;
inline constexpr const char* kAften = slot::kAften.program;
inline constexpr const char* kAsfToVc1 = slot::kAsfToVc1.program;
inline constexpr const char* kEncWavToAc3 = slot::kEncWavToAc3.program;
inline constexpr const char* kAviMux = slot::kAviMux.program;
inline constexpr const char* kMencoderFont = "\\Mencoder\\font.ttf";
// Slots the program spells in another case than their folders are made; Windows (and the
// runner) find them all the same.
inline constexpr const char* kFaad = "\\ffmpeg\\faad.exe";
// The AVI check spells the encoder in lower case; the repairs use kMencoder.
inline constexpr const char* kMencoderCheck = "\\mencoder\\mencoder.exe";
inline constexpr const char* kAviInfo = "\\checker\\mmcl.exe";
static_assert(slot::SameNoCase(kFaad, slot::kFaad.program) &&
              slot::SameNoCase(kMencoderCheck, slot::kMencoder.program) &&
              slot::SameNoCase(kAviInfo, slot::kMmcl.program));
// The Nero AAC encoder, in the order the driver looks for it.
inline constexpr const char* kNeroEncoders[] = {"\\neroAacEnc_SSE2.exe", "\\neroAacEnc.exe",
                                                "\\neroAacEnc_SSE.exe"};
}  // namespace tool

namespace work {
inline constexpr const char* kSplitFolder = "split";
inline constexpr const char* kH264 = "movie.h264";
inline constexpr const char* kRawH264 = "movie_raw.h264";
inline constexpr const char* kVideoH264 = "movie_video.h264";
inline constexpr const char* k264 = "movie.264";
inline constexpr const char* kVideo264 = "movie_video.264";
inline constexpr const char* kAvi = "movie.avi";
inline constexpr const char* kAac = "movie.aac";
inline constexpr const char* kWav = "movie.wav";
inline constexpr const char* kWav2 = "movie2.wav";
inline constexpr const char* kWav48k = "movie48k.wav";  // the sound resampled for Blu-ray
inline constexpr const char* kMeta = "movie.meta";
inline constexpr const char* kVc1 = "movie.vc1";
inline constexpr const char* kAc3 = "movie.ac3";
inline constexpr const char* kSrt = "movie.srt";
// The time of each frame of a video whose rate varies, as the extractor writes it.
inline constexpr const char* kTimestamps = "movie_times.txt";
// The extracted audio track: "movie." + audio extension.
inline std::string Audio(const std::string& ext) {
  return "movie." + ext;
}
// Every name above that a branch can leave in the output folder, audio and subtitle
// tracks of every kind included: what a stopped conversion deletes there.
inline constexpr const char* kMpeg2Video = "movie.mpg";      // the MPEG-2 encode, no sound
inline constexpr const char* kAviMuxScript = "quillet.amg";  // the AVI muxer's script
inline constexpr const char* kEveryFile[] = {
    kH264,       kRawH264,    kVideoH264,  k264,          kVideo264,   kAvi,
    kAac,        kWav,        kWav2,       kWav48k,       kMeta,       kVc1,
    kAc3,        kSrt,        "movie.ssa", "movie.ass",   "movie.dts", "movie.mp3",
    "movie.mp2", "movie.ogg", kMpeg2Video, kAviMuxScript, kTimestamps};
}  // namespace work

// The success text every branch ends with.
inline constexpr const char* kConversionDone = "Conversion done";
// The success text of the WMV and AVI roads, with its full stop.
inline constexpr const char* kConversionDoneStop = "Conversion done.";
// The text a conversion that could not finish leaves.
inline constexpr const char* kConversionError = "Conversion error.";
// The progress text while another conversion holds the program folder.
inline constexpr const char* kWaitingForConversion = "Waiting for the conversion already running";
// The lock file in the program folder a conversion holds for its whole run.
inline constexpr const char* kLockFile = "\\quillet.lock";
// The lock file in the output folder a conversion holds for its whole run (hidden: it
// stays there between runs).
inline constexpr const char* kOutputLockFile = ".quillet-output.lock";
// The text a conversion stopped by a signal or by the window's Stop button leaves.
inline constexpr const char* kConversionStopped = "Conversion stopped.";

// A path in double quotes, as every path of a command line is written.
inline std::string Q(const std::string& path) {
  return "\"" + path + "\"";
}

}  // namespace quillet
