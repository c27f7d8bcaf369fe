#include "toolkit/MuxInputs.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/M2tsPackets.h"
#include "toolkit/MuxJob.h"
#include "toolkit/Process.h"
#include "toolkit/es/NativeMux.h"

namespace quillet::toolkit {
namespace {

bool IsProgramStream(const std::string& path) {
  auto head = ReadBytes(path, 4);
  return head && *head == std::string("\x00\x00\x01\xBA", 4);
}

// ffmpeg's demuxer for a raw audio stream of the line's codec.
const char* RawAudioFormat(TrackCodec codec) {
  static const std::map<TrackCodec, const char*> kDemuxers = {{TrackCodec::Ac3, "ac3"},
                                                              {TrackCodec::Dts, "dts"},
                                                              {TrackCodec::Mp3, "mp3"},
                                                              {TrackCodec::Mp2, "mp3"},
                                                              {TrackCodec::Aac, "aac"}};
  const auto found = kDemuxers.find(codec);
  return found == kDemuxers.end() ? nullptr : found->second;
}

// A raw video stream in a Matroska file of its own, every frame with its time stamp.
std::optional<std::string> WrapRawVideo(const MuxTrack& track, const std::string& path,
                                        const std::string& scratch, std::string* error) {
  std::string wrapped =
      (std::filesystem::path(scratch) / Format("line%d.mkv", track.line)).string();
  std::vector<std::string> argv = {"mkvmerge", "-q", "-o", wrapped};
  if (auto fps = ParseFrameRate(track.fps))
    argv.insert(argv.end(), {"--default-duration", Format("0:%lld/%lldp", fps->num, fps->den)});
  argv.push_back(path);
  ToolResult r = RunProgram(argv);
  // mkvmerge ends with 1 after warnings; the file is then whole.
  if (!r.started || r.signal != 0 || r.exitCode > 1 || !FileHasData(wrapped)) {
    if (error)
      *error = Format("line %d: mkvmerge cannot read %s as %s", track.line, path.c_str(),
                      track.codecId.c_str());
    return std::nullopt;
  }
  return wrapped;
}

// The stream a line names in a probed file: track=N counts the Matroska tracks from 1
// (attachments come after them), a program stream's track=N is its stream id; without
// track= the first stream of the line's kind.
std::optional<int> FindStream(const MuxTrack& track, const ProbedFile& probe, bool programStream,
                              bool raw) {
  const std::string kind = IsVideoCodec(track.codec)   ? "video"
                           : IsAudioCodec(track.codec) ? "audio"
                                                       : "subtitle";
  for (const ProbedStream& s : probe.streams) {
    bool named = !track.track || (raw && *track.track == 1) ||
                 (programStream ? s.id == 0x100 + *track.track : s.index == *track.track - 1);
    if (named && (track.track || s.type == kind)) return s.index;
  }
  return std::nullopt;
}

// The toolkit reads the raw elementary streams of these codecs itself; ffmpeg reads the rest
// (Matroska sources, program streams, VC-1 and MPEG-2 video).
// Sound from a Matroska file is first taken out into a raw stream of its own (TakeOutSound).
bool ReadsItself(const MuxTrack& track) {
  if (track.codec == TrackCodec::TextSubtitle) return true;  // drawn into a .sup file
  if (track.codec == TrackCodec::Vc1 || track.codec == TrackCodec::Mpeg2Video) return false;
  const std::string path = LocateInput(track.path);
  if (!FileHasData(path) || IsProgramStream(path)) return false;
  return !IsMatroskaFile(path) || IsAudioCodec(track.codec);
}

// ffmpeg's muxer for a raw audio stream of the line's codec.
const char* RawAudioMuxer(TrackCodec codec) {
  static const std::map<TrackCodec, const char*> kMuxers = {{TrackCodec::Ac3, "ac3"},
                                                            {TrackCodec::Dts, "dts"},
                                                            {TrackCodec::Mp3, "mp3"},
                                                            {TrackCodec::Mp2, "mp2"},
                                                            {TrackCodec::Aac, "adts"}};
  const auto found = kMuxers.find(codec);
  return found == kMuxers.end() ? nullptr : found->second;
}

// A sound track of a Matroska file copied out as a raw stream into `scratch` (a few percent
// of the film), for the toolkit's packetizer. It keeps its start within the file, as ffmpeg
// reads it: from the file's earliest time stamp.
bool TakeOutSound(MuxStream& stream, const std::string& scratch, MuxPlan& plan,
                  std::string* error) {
  const MuxInput& source = plan.inputs[stream.input];
  std::string raw =
      (std::filesystem::path(scratch) / Format("line%d.audio", stream.track.line)).string();
  ToolResult r = RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-i", source.path, "-map",
                             Format("0:%d", stream.stream), "-c", "copy", "-f",
                             RawAudioMuxer(stream.track.codec), raw});
  if (!r.Ok() || !FileHasData(raw)) {
    if (error)
      *error = Format("line %d: ffmpeg cannot copy track %d of %s", stream.track.line,
                      stream.stream + 1, stream.track.path.c_str());
    return false;
  }
  MuxInput input;
  input.path = raw;
  input.options = {"-f", RawAudioFormat(stream.track.codec)};
  input.probe.streams = {stream.info};
  input.probe.streams[0].index = 0;
  input.probe.duration = stream.info.duration;
  stream.start = stream.info.start - source.probe.start;
  plan.inputs.push_back(input);
  stream.input = static_cast<int>(plan.inputs.size() - 1);
  stream.stream = 0;
  return true;
}

// The muxer needs a video stream, which carries the clock. The tests set
// QUILLET_MUX_THROUGH_FFMPEG to compare the two ways.
bool TakesOwnPacketizer(const MuxJob& job) {
  return !std::getenv("QUILLET_MUX_THROUGH_FFMPEG") && !job.tracks.empty() &&
         job.tracks[0].codec == TrackCodec::H264 &&
         std::all_of(job.tracks.begin(), job.tracks.end(), ReadsItself);
}

struct Opened {
  int input;
  bool programStream;
  bool raw;
};

std::optional<Opened> OpenSource(const MuxTrack& track, const std::string& scratch, MuxPlan& plan,
                                 std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<Opened> {
    if (error) *error = Format("line %d: %s", track.line, why.c_str());
    return std::nullopt;
  };
  std::string path = LocateInput(track.path);
  if (FileSize(path) < 0) return fail("missing source file " + track.path);
  if (!FileHasData(path)) return fail("empty source file " + track.path);
  bool matroska = IsMatroskaFile(path), programStream = !matroska && IsProgramStream(path);
  bool raw = !matroska && !programStream;
  MuxInput input;
  input.path = path;
  if (programStream) {
    input.options = {"-f", "mpeg"};
  } else if (raw && IsVideoCodec(track.codec) && plan.ownPacketizer) {
    // the toolkit orders the frames itself, and reads what ffprobe would tell from them
    auto video = OpenRawVideo(track, path, error);
    if (!video) return std::nullopt;
    plan.inputs.push_back(*video);
    return Opened{static_cast<int>(plan.inputs.size() - 1), false, true};
  } else if (raw && IsVideoCodec(track.codec)) {
    auto wrapped = WrapRawVideo(track, path, scratch, error);
    if (!wrapped) return std::nullopt;
    input.path = *wrapped;
  } else if (raw) {
    input.options = {"-f", RawAudioFormat(track.codec)};
  }
  // Matroska keeps VC-1 in VFW mode, whose blocks ffmpeg reads with decoding times only;
  // the transport stream needs presentation times, which ffmpeg then works out.
  if (track.codec == TrackCodec::Vc1)
    input.options.insert(input.options.end(), {"-fflags", "+genpts"});
  for (size_t i = 0; i < plan.inputs.size(); ++i)
    if (plan.inputs[i].path == input.path && plan.inputs[i].options == input.options)
      return Opened{static_cast<int>(i), programStream, raw};
  auto probe = ProbeMediaFile(input.path);
  if (!probe) return fail("ffprobe cannot read " + track.path);
  input.probe = *probe;
  plan.inputs.push_back(input);
  return Opened{static_cast<int>(plan.inputs.size() - 1), programStream, raw};
}

std::optional<MuxStream> PlanTrack(const MuxTrack& track, const std::string& scratch, MuxPlan& plan,
                                   std::string* error) {
  if (track.codec == TrackCodec::TextSubtitle)
    return DrawTextSubtitles(track, scratch, plan, error);
  auto opened = OpenSource(track, scratch, plan, error);
  if (!opened) return std::nullopt;
  const MuxInput& input = plan.inputs[opened->input];
  auto index = FindStream(track, input.probe, opened->programStream, opened->raw);
  if (!index) {
    if (error)
      *error =
          Format("line %d: %s has no %s track%s", track.line, track.path.c_str(),
                 track.codecId.c_str(), track.track ? Format(" %lld", *track.track).c_str() : "");
    return std::nullopt;
  }
  MuxStream stream;
  stream.input = opened->input;
  stream.stream = *index;
  stream.track = track;
  for (const ProbedStream& s : input.probe.streams)
    if (s.index == *index) stream.info = s;
  if (!CodecMatches(track.codec, stream.info.codec)) {
    if (error)
      *error = Format("line %d: track %d of %s is %s, not %s", track.line, *index + 1,
                      track.path.c_str(), stream.info.codec.c_str(), track.codecId.c_str());
    return std::nullopt;
  }
  if (stream.info.duration <= 0) stream.info.duration = input.probe.duration;
  if (!track.language.empty()) stream.info.language = track.language;
  stream.units = input.units;
  if (plan.ownPacketizer && !opened->raw && !opened->programStream && IsAudioCodec(track.codec) &&
      !TakeOutSound(stream, scratch, plan, error))
    return std::nullopt;
  return stream;
}

}  // namespace

bool CodecMatches(TrackCodec codec, const std::string& name) {
  switch (codec) {
    case TrackCodec::H264:
      return name == "h264";
    case TrackCodec::Vc1:
      return name == "vc1";
    case TrackCodec::Mpeg2Video:
      return name == "mpeg2video" || name == "mpeg1video";
    case TrackCodec::Ac3:
      return name == "ac3";
    case TrackCodec::Dts:
      return name == "dts";
    case TrackCodec::Mp3:
    case TrackCodec::Mp2:
      return name == "mp3" || name == "mp2" || name == "mp1";
    case TrackCodec::Aac:
      return name == "aac";
    case TrackCodec::TextSubtitle:
      return name == "subrip" || name == "text" || name == "hdmv_pgs_subtitle";
  }
  return false;
}

std::optional<ProbedFile> ProbeMediaFile(const std::string& path) {
  RunOptions options;
  options.captureOut = true;
  options.captureErr = true;
  ToolResult r = RunProgram(ProbeJsonArgv(path), options);
  if (!r.Ok()) return std::nullopt;
  return ParseProbeJson(r.out);
}

std::optional<MuxPlan> PlanMux(const MuxJob& job, const std::string& scratch, std::string* error) {
  MuxPlan plan;
  plan.ownPacketizer = TakesOwnPacketizer(job);
  std::vector<MuxStream> video, audio, subtitles;
  for (const MuxTrack& track : job.tracks) {
    auto stream = PlanTrack(track, scratch, plan, error);
    if (!stream) return std::nullopt;
    auto& group = IsVideoCodec(track.codec) ? video : IsAudioCodec(track.codec) ? audio : subtitles;
    group.push_back(*stream);
    plan.duration = std::max(plan.duration, stream->info.duration);
  }
  for (MuxStream& s : video) s.pid = m2ts::kVideoPid;
  for (size_t i = 0; i < audio.size(); ++i)
    audio[i].pid = static_cast<uint16_t>(m2ts::kFirstAudioPid + i);
  for (size_t i = 0; i < subtitles.size(); ++i)
    subtitles[i].pid = static_cast<uint16_t>(m2ts::kFirstSubtitlePid + i);
  for (auto* group : {&video, &audio, &subtitles})
    plan.streams.insert(plan.streams.end(), group->begin(), group->end());
  return plan;
}

std::vector<std::string> M2tsFfmpegArgv(const MuxPlan& plan) {
  std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-v", "error"};
  for (const MuxInput& input : plan.inputs) {
    argv.insert(argv.end(), input.options.begin(), input.options.end());
    argv.insert(argv.end(), {"-i", input.path});
  }
  for (const MuxStream& s : plan.streams)
    argv.insert(argv.end(), {"-map", Format("%d:%d", s.input, s.stream)});
  argv.insert(argv.end(), {"-c", "copy"});
  for (size_t k = 0; k < plan.streams.size(); ++k) {
    const MuxStream& s = plan.streams[k];
    // Every H.264 key frame carries the parameter sets, so that a player can start at any
    // entry point: Annex B first (the extradata too), then the extradata in front of each
    // key frame that does not already start with it.
    if (s.track.codec == TrackCodec::H264) {
      std::string filters = "h264_mp4toannexb,dump_extra=freq=keyframe";
      if (s.track.level > 0)
        filters =
            Format("h264_metadata=level=%d.%d,", s.track.level / 10, s.track.level % 10) + filters;
      argv.insert(argv.end(), {Format("-bsf:%zu", k), filters});
    }
    if (!s.info.language.empty())
      argv.insert(argv.end(), {Format("-metadata:s:%zu", k), "language=" + s.info.language});
    argv.insert(argv.end(), {"-streamid", Format("%zu:%u", k, s.pid)});
  }
  argv.insert(argv.end(), {"-f", "mpegts", "-mpegts_m2ts_mode", "1", "pipe:1"});
  return argv;
}

}  // namespace quillet::toolkit
