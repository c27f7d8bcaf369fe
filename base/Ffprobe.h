#pragma once
// What ffprobe says about a file: its streams and format, read from its JSON answer
// (-show_format -show_streams -of json) or from its flat one (-of flat), both into the
// same fields. The tools leave out what a file lacks: a missing field reads 0 or empty.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

struct ProbedStream {
  int index = 0;
  int id = 0;         // the container's id (a program stream's stream id + 0x100)
  std::string type;   // "video", "audio", "subtitle", "attachment"
  std::string codec;  // "h264", "ac3", ...
  std::string profile;
  int level = 0;  // as ffprobe gives it (-99 when unknown)
  int width = 0, height = 0;
  bool interlaced = false;
  double fps = 0;  // the average frame rate, else the container's
  int channels = 0;
  std::string channelLayout;  // "5.1(side)", "stereo", ...
  int sampleRate = 0;
  int64_t bitrate = 0;  // the stream's, else the BPS statistics tag
  std::string language;
  double duration = 0;  // 0 when unknown
  double start = 0;     // the first time stamp, in seconds
  bool isDefault = false;
};

struct ProbedFile {
  std::string format;  // ffprobe's format_name
  double duration = 0;
  double start = 0;  // the earliest time stamp of its streams, in seconds
  int64_t bitrate = 0;
  std::vector<ProbedStream> streams;
};

// ffprobe's JSON answer; nullopt when it is none.
std::optional<ProbedFile> ParseProbeJson(const std::string& json);

// ffprobe's "-of flat" answer ("streams.stream.0.codec_name=\"h264\"", "format.duration=").
ProbedFile ParseProbeFlat(const std::string& text);

// The argv that asks ffprobe for the JSON answer about a file.
std::vector<std::string> ProbeJsonArgv(const std::string& path, bool withFormat = true);

}  // namespace quillet
