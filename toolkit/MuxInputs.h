#pragma once
// The tracks of a mux job as ffmpeg inputs: which file, read how, which of its streams,
// and what the stream is (from ffprobe), with the PID it gets in the transport stream.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/MuxJob.h"

namespace quillet::toolkit {

struct ProbedStream {
  int index = 0;
  int id = 0;         // the container's id (a program stream's stream id + 0x100)
  std::string type;   // "video", "audio", "subtitle", "attachment"
  std::string codec;  // "h264", "ac3", ...
  int width = 0, height = 0;
  bool interlaced = false;
  double fps = 0;
  int level = 0;
  int channels = 0;
  int sampleRate = 0;
  std::string language;
  double duration = 0;  // 0 when unknown
};

struct ProbedFile {
  std::string format;  // ffprobe's format_name
  double duration = 0;
  std::vector<ProbedStream> streams;
};

// ffprobe's JSON answer (-show_format -show_streams); nullopt when it is none.
std::optional<ProbedFile> ParseProbeJson(const std::string& json);
std::optional<ProbedFile> ProbeMediaFile(const std::string& path);

struct MuxInput {
  std::string path;                  // what ffmpeg reads
  std::vector<std::string> options;  // ffmpeg's options before -i ("-f", "ac3")
  ProbedFile probe;
};

struct MuxStream {
  int input = 0;   // in MuxPlan::inputs
  int stream = 0;  // ffmpeg's stream index in that input
  MuxTrack track;
  ProbedStream info;
  uint16_t pid = 0;
};

struct MuxPlan {
  std::vector<MuxInput> inputs;
  std::vector<MuxStream> streams;  // video first, then audio, then subtitles
  double duration = 0;             // the longest stream, 0 when unknown
};

// Finds every track of the job in its source. Raw video streams are first given time
// stamps by mkvmerge in `scratch` (ffmpeg cannot order the frames of a raw stream).
// nullopt with a one-line reason: a missing file, a track the source lacks, a stream of
// another codec than the line names.
std::optional<MuxPlan> PlanMux(const MuxJob& job, const std::string& scratch, std::string* error);

// A text subtitle line drawn as a presentation-graphics stream (a .sup file in `scratch`),
// added to the plan as an input of its own; nullopt with a one-line reason.
std::optional<MuxStream> DrawTextSubtitles(const MuxTrack& track, const std::string& scratch,
                                           MuxPlan& plan, std::string* error);

// ffmpeg's argv that writes the plan as a Blu-ray transport stream to standard output.
std::vector<std::string> M2tsFfmpegArgv(const MuxPlan& plan);

// Whether ffprobe's codec name is what the job line's codec id names.
bool CodecMatches(TrackCodec codec, const std::string& ffprobeCodec);

}  // namespace quillet::toolkit
