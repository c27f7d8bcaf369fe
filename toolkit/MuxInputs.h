#pragma once
// The tracks of a mux job as ffmpeg inputs: which file, read how, which of its streams,
// and what the stream is (from ffprobe), with the PID it gets in the transport stream.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Ffprobe.h"
#include "toolkit/MuxJob.h"
#include "toolkit/es/Units.h"

namespace quillet::toolkit {

// Runs ffprobe on a file (base/Ffprobe.h); nullopt when it cannot read it.
std::optional<ProbedFile> ProbeMediaFile(const std::string& path);

struct MuxInput {
  std::string path;                  // what ffmpeg reads
  std::vector<std::string> options;  // ffmpeg's options before -i ("-f", "ac3")
  ProbedFile probe;
  std::shared_ptr<es::UnitReader> units;  // raw H.264 the toolkit packetizes: its frames
};

struct MuxStream {
  int input = 0;   // in MuxPlan::inputs
  int stream = 0;  // ffmpeg's stream index in that input
  MuxTrack track;
  ProbedStream info;
  uint16_t pid = 0;
  double start = 0;  // seconds its first frame comes after the video's first (own packetizer)
  std::shared_ptr<es::UnitReader> units;  // raw H.264: its frames, indexed while planning
};

struct MuxPlan {
  std::vector<MuxInput> inputs;
  std::vector<MuxStream> streams;  // video first, then audio, then subtitles
  double duration = 0;             // the longest stream, 0 when unknown
  // Every stream is a raw elementary stream (or drawn subtitles) that the toolkit reads
  // itself and packetizes without ffmpeg; otherwise ffmpeg muxes (M2tsFfmpegArgv).
  bool ownPacketizer = false;
};

// Finds every track of the job in its source. When ffmpeg muxes, raw video streams are first
// given time stamps by mkvmerge in `scratch` (ffmpeg cannot order the frames of a raw stream).
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
