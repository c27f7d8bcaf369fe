#include "toolkit/Mp4Build.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <numeric>
#include <set>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/H264.h"
#include "toolkit/Probe.h"
#include "toolkit/Process.h"
#include "toolkit/RawVideoFeed.h"

namespace quillet::toolkit {
namespace fs = std::filesystem;
namespace {

// Option names that may follow a file name in an MP4Box -add argument.
bool StartsWithMp4BoxOption(const std::string& rest) {
  static const char* keys[] = {"fps=",  "par=",  "lang=",      "name=",      "delay=",
                               "dur=",  "hdlr=", "timescale=", "group=",     "disable",
                               "rate=", "sbr",   "ps",         "timestamps="};
  for (const char* key : keys)
    if (StartsWith(rest, key)) return true;
  return false;
}

// Room for the index at the front of the file, from the frames the tracks hold: each
// frame takes a few table entries (size, time offset, key flag, chunk), far less than
// this. Writing the index into reserved room spares a second pass over the whole file.
long long IndexRoom(const std::vector<ProbedStream>& streams, double seconds) {
  constexpr long long kTables = 64 * 1024, kPerVideoFrame = 40, kPerOtherFrame = 24;
  double bytes = kTables;
  for (const ProbedStream& s : streams) {
    const double length = s.duration > 0 ? s.duration : seconds;
    if (s.type == "video")
      bytes += length * std::max(s.fps, 24.0) * kPerVideoFrame;
    else
      bytes += length * std::max(s.sampleRate / 1024.0, 50.0) * kPerOtherFrame;
  }
  return static_cast<long long>(bytes);
}

// ffmpeg writing the MP4 with its index in reserved room at the front; when the room is
// too small, once more with the index moved to the front after writing. The feeds give
// ffmpeg raw video through their FIFOs during each run.
bool WriteMp4(std::vector<std::string> argv, const std::string& temp, long long indexRoom,
              const std::vector<RawVideoFeed*>& feeds) {
  auto run = [&](const RunOptions& options) {
    for (RawVideoFeed* feed : feeds) feed->Start();
    ToolResult r = RunProgram(argv, options);
    bool fed = true;
    for (RawVideoFeed* feed : feeds) fed = feed->Finish() && fed;
    // ffmpeg takes a stream cut short for the whole film
    if (!fed && r.Ok()) r.exitCode = 1;
    return r;
  };
  const size_t tail = argv.size();
  argv.insert(argv.end(), {"-moov_size", std::to_string(indexRoom), "-f", "mp4", temp});
  RunOptions capture;
  capture.captureErr = true;
  ToolResult r = run(capture);
  std::cerr << r.err;
  // ffmpeg ends well even when the index did not fit: only its message tells.
  if (r.err.find("reserved_moov_size is too small") == std::string::npos)
    return r.Ok() && FileHasData(temp);
  Log(Format(
      "%lld bytes were too few for the index: written again, the index moved to the front after",
      indexRoom));
  argv.resize(tail);
  argv.insert(argv.end(), {"-movflags", "+faststart", "-f", "mp4", temp});
  r = run({});
  return r.Ok() && FileHasData(temp);
}

long long TrackTimescale(const Rational& fps) {
  if (fps.den == 1001) return fps.num;
  if (fps.den > 0 && 1000 % fps.den == 0) return fps.num * (1000 / fps.den);
  return 90000;
}

// Each track's source as ffmpeg will read it, with its streams.
struct Prepared {
  std::string source;
  std::vector<ProbedStream> streams;
  double seconds = 0;
  bool aspectInSource = false;
  bool constantRate = false;           // raw video at the rate given
  std::unique_ptr<RawVideoFeed> feed;  // source is its FIFO
};

// ffmpeg reads a raw stream without its frame order. At a constant rate the frames go to it
// with their times through a FIFO, on the exact clock of the rate, so that every sample lasts
// the same in the track's timescale. False (with a log line) when the stream cannot go so.
bool FeedRawVideo(const Mp4Track& track, const std::string& path, const std::string& fifo,
                  Prepared& p) {
  if (!track.fps || !track.timestamps.empty()) return false;
  es::H264Options options;
  options.fpsNum = track.fps->num, options.fpsDen = track.fps->den;
  options.exactClock = true;
  options.setsOnKeyFrames = false;
  const Rational sar = track.par ? Reduce(*track.par) : Rational{0, 1};
  // The pixel aspect goes into the stream's parameter sets, where ffmpeg takes it from
  // exactly (its -aspect rounds to 255ths).
  p.aspectInSource = sar.num > 0 && sar.den > 0 && sar.num <= 0xFFFF && sar.den <= 0xFFFF;
  if (p.aspectInSource) options.sarWidth = uint16_t(sar.num), options.sarHeight = uint16_t(sar.den);
  std::string error;
  p.feed = RawVideoFeed::Open(path, fifo, options, &error);
  if (!p.feed) {
    Log(error + ": the stream is wrapped by mkvmerge instead");
    p.aspectInSource = false;
    return false;
  }
  p.source = fifo;
  p.streams = {p.feed->Stream()};
  p.seconds = p.feed->Stream().duration;
  p.constantRate = true;
  return true;
}

// mkvmerge gives every frame of a raw stream its time stamp first, at microsecond precision.
bool WrapRawVideo(const Mp4Track& track, const std::string& path, const std::string& wrapped,
                  Prepared& p) {
  p.source = wrapped;
  std::vector<std::string> argv = {"mkvmerge", "-q", "-o", wrapped, "--timestamp-scale", "1000"};
  if (!track.timestamps.empty()) {
    // A film whose rate varies keeps each frame's own time: a constant rate would
    // stretch or squeeze parts of it against the sound.
    argv.insert(argv.end(), {"--timestamps", "0:" + LocateInput(track.timestamps)});
  } else if (track.fps) {
    argv.insert(argv.end(),
                {"--default-duration", Format("0:%lld/%lldp", track.fps->num, track.fps->den)});
    p.constantRate = true;
  }
  int width = 0, height = 0;
  if (track.par && RawH264PictureSize(path, width, height)) {
    // The display size as an exact ratio, so that the pixel aspect read back from it is
    // exactly the one asked for (ffmpeg's -aspect rounds to 255ths).
    Rational display = Reduce({width * track.par->num, height * track.par->den});
    argv.insert(argv.end(),
                {"--display-dimensions", Format("0:%lldx%lld", display.num, display.den)});
    p.aspectInSource = true;
  }
  argv.push_back(path);
  ToolResult r = RunProgram(argv);
  return r.started && r.signal == 0 && (r.exitCode == 0 || r.exitCode == 1) && FileHasData(wrapped);
}

}  // namespace

std::optional<Rational> ParFromDisplaySize(int width, int height, int qtw, int qth) {
  if (width <= 0 || height <= 0 || qtw <= 0 || qth <= 0) return std::nullopt;
  return Reduce({static_cast<long long>(qtw) * height, static_cast<long long>(qth) * width});
}

std::optional<Mp4Input> ParseMp4BoxInput(const std::string& argument, const ExistsFn& exists,
                                         std::string* error) {
  auto fail = [&](const std::string& message) -> std::optional<Mp4Input> {
    if (error) *error = message;
    return std::nullopt;
  };
  Mp4Input input;
  // A ":timestamps=" file is a path of its own: the name ends before it.
  size_t nameStart = argument.rfind('/', argument.find(":timestamps="));
  nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
  std::string path = argument, options;
  if (!exists(argument)) {
    for (size_t p = argument.find(':', nameStart); p != std::string::npos;
         p = argument.find(':', p + 1)) {
      std::string prefix = argument.substr(0, p);
      std::string withoutSelector = prefix.substr(0, prefix.find('#', nameStart));
      if (StartsWithMp4BoxOption(argument.substr(p + 1)) || exists(prefix) ||
          exists(withoutSelector)) {
        path = prefix;
        options = argument.substr(p + 1);
        break;
      }
    }
  }
  size_t hash = path.find('#', nameStart);
  if (hash != std::string::npos && !exists(path)) {
    std::string selector = Lower(path.substr(hash + 1));
    if (selector != "video" && selector != "audio")
      return fail("unsupported track selector #" + selector);
    input.selector = selector;
    path = path.substr(0, hash);
  }
  input.path = path;
  if (options.empty()) return input;
  std::vector<std::string> parts = Split(options, ':');
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (StartsWith(part, "fps=")) {
      input.fps = part.substr(4);
    } else if (StartsWith(part, "timestamps=")) {
      input.timestamps = part.substr(11);
    } else if (StartsWith(part, "par=")) {
      input.par = part.substr(4);
      if (input.par.find(':') == std::string::npos && i + 1 < parts.size())
        input.par += ":" + parts[++i];
    } else {
      return fail("unsupported import option :" + part);
    }
  }
  return input;
}

std::optional<Mp4BoxCall> ParseMp4BoxArgs(const std::vector<std::string>& args,
                                          const ExistsFn& exists, std::string* error) {
  auto fail = [&](const std::string& message) -> std::optional<Mp4BoxCall> {
    if (error) *error = message;
    return std::nullopt;
  };
  Mp4BoxCall call;
  bool split = false, aviRaw = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    if (a == "-add") {
      auto v = value();
      if (!v) return fail("-add needs a file");
      auto input = ParseMp4BoxInput(*v, exists, error);
      if (!input) return std::nullopt;
      call.inputs.push_back(*input);
    } else if (a == "-fps") {
      auto v = value();
      if (!v) return fail("-fps needs a rate");
      call.globalFps = *v;
    } else if (a == "-tmp") {
      auto v = value();
      if (!v) return fail("-tmp needs a folder");
      call.tmpDir = *v;
    } else if (a == "-splits") {
      auto v = value();
      auto kb = v ? ParseInt(*v) : std::nullopt;
      if (!kb || *kb <= 0) return fail("-splits needs a size in kB");
      call.splitKb = *kb;
      split = true;
    } else if (a == "-aviraw") {
      auto v = value();
      if (!v) return fail("-aviraw needs video or audio");
      if (Lower(*v) != "video") return fail("-aviraw " + *v + " is not supported (only video)");
      call.aviRawKind = "video";
      aviRaw = true;
    } else if (a == "-new") {
      call.forceNew = true;
    } else if (a == "-quiet" || a == "-noprog" || a == "-v") {
      // Messages only.
    } else if (StartsWith(a, "-")) {
      return fail("unsupported option " + a);
    } else if (call.file.empty()) {
      call.file = a;
    } else {
      return fail("more than one file: " + call.file + " and " + a);
    }
  }
  if (call.file.empty()) return fail("no file named");
  if (split + aviRaw + !call.inputs.empty() > 1)
    return fail("-add, -splits and -aviraw do not mix");
  if (split)
    call.mode = Mp4BoxCall::Mode::Split;
  else if (aviRaw)
    call.mode = Mp4BoxCall::Mode::AviRaw;
  else if (call.inputs.empty())
    return fail("nothing to do: no -add, -splits or -aviraw");
  return call;
}

std::optional<Mp4CreatorCall> ParseMp4CreatorArgs(const std::vector<std::string>& args,
                                                  std::string* error) {
  auto fail = [&](const std::string& message) -> std::optional<Mp4CreatorCall> {
    if (error) *error = message;
    return std::nullopt;
  };
  Mp4CreatorCall call;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    if (StartsWith(a, "--")) a = a.substr(1);
    std::string value;
    auto valueOf = [&](const std::string& name) {
      if (StartsWith(a, name + "=")) {
        value = a.substr(name.size() + 1);
        return true;
      }
      return false;
    };
    if (valueOf("-create") || valueOf("-c")) {
      call.create = value;
    } else if (valueOf("-rate") || valueOf("-r")) {
      call.rate = value;
    } else if (valueOf("-qtw") || valueOf("-qth")) {
      auto n = ParseInt(value);
      if (!n || *n <= 0) return fail("bad size in " + a);
      (StartsWith(a, "-qtw") ? call.qtw : call.qth) = static_cast<int>(*n);
    } else if (StartsWith(a, ":par=")) {
      call.par = a.substr(5);
    } else if (a == "-optimize" || a == "-O") {
      // The MP4 is written with its index in front anyway.
    } else if (StartsWith(a, "-")) {
      return fail("unsupported option " + args[i]);
    } else if (call.file.empty()) {
      call.file = a;
    } else {
      return fail("more than one MP4 file: " + call.file + " and " + a);
    }
  }
  if (call.create.empty()) return fail("no -create= file");
  if (call.file.empty()) return fail("no MP4 file named");
  return call;
}

bool RawH264PictureSize(const std::string& path, int& width, int& height) {
  auto head = ReadBytes(path, 1 << 20);
  if (!head) return false;
  for (const auto& unit : SpsFromAnnexB(*head, 1))
    if (auto sps = ParseSps(unit)) {
      width = sps->width;
      height = sps->height;
      return true;
    }
  return false;
}

bool IsRawH264(const std::string& path) {
  auto head = ReadBytes(path, 65536);
  if (!head || head->size() < 5) return false;
  const auto* b = reinterpret_cast<const unsigned char*>(head->data());
  bool startCode =
      (b[0] == 0 && b[1] == 0 && b[2] == 1) || (b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 1);
  return startCode && !SpsFromAnnexB(*head, 1).empty();
}

bool ExtendsExisting(const std::vector<std::string>& existingKinds,
                     const std::vector<std::string>& addedKinds) {
  for (const std::string& kind : addedKinds)
    if (std::find(existingKinds.begin(), existingKinds.end(), kind) != existingKinds.end())
      return false;
  return true;
}

bool AssembleMp4(const std::vector<Mp4Track>& tracks, const std::string& destination,
                 bool addToExisting, const std::string& tmpDir) {
  Staging staging;
  std::string target = LocateOutput(destination);
  std::string temp = staging.Add(target);
  if (temp.empty()) return false;
  std::string scratch = staging.Scratch(tmpDir.empty() ? FolderOf(target) : LocateInput(tmpDir));
  if (scratch.empty()) return false;

  std::vector<Prepared> prepared;
  std::vector<RawVideoFeed*> feeds;
  std::vector<std::string> addedKinds;
  int rawWithRate = 0;
  std::optional<long long> timescale;
  long long indexRoom = 0;
  for (size_t n = 0; n < tracks.size(); ++n) {
    const Mp4Track& track = tracks[n];
    std::string path = LocateInput(track.path);
    if (!FileHasData(path)) {
      Log("missing or empty: " + track.path);
      return false;
    }
    Prepared p;
    p.source = path;
    const std::string scratchBase = (fs::path(scratch) / Format("track%zu", n)).string();
    if (IsRawH264(path) && !FeedRawVideo(track, path, scratchBase + ".ts", p) &&
        !WrapRawVideo(track, path, scratchBase + ".mkv", p))
      return false;
    if (p.feed) feeds.push_back(p.feed.get());
    if (p.constantRate) {
      timescale = TrackTimescale(*track.fps);
      ++rawWithRate;
    }
    if (!p.feed) {
      auto streams = ProbeStreams(p.source);
      if (!streams) return false;
      p.streams = *streams;
      p.seconds = ProbeSeconds(p.source).value_or(0);
    }
    indexRoom += IndexRoom(p.streams, p.seconds);
    for (const ProbedStream& s : p.streams)
      if (track.selector.empty() || track.selector == s.type) addedKinds.push_back(s.type);
    prepared.push_back(std::move(p));
  }

  std::vector<std::string> inputs, maps, streamOptions;
  int inputCount = 0, videoOut = 0;
  auto addInput = [&](const std::string& path, const std::vector<std::string>& format = {}) {
    inputs.insert(inputs.end(), format.begin(), format.end());
    inputs.insert(inputs.end(), {"-i", path});
    return inputCount++;
  };

  if (addToExisting && FileHasData(target)) {
    auto streams = ProbeStreams(target);
    if (!streams) return false;
    std::vector<std::string> existingKinds;
    for (const ProbedStream& s : *streams) existingKinds.push_back(s.type);
    if (ExtendsExisting(existingKinds, addedKinds)) {
      int index = addInput(target);
      indexRoom += IndexRoom(*streams, ProbeSeconds(target).value_or(0));
      maps.insert(maps.end(), {"-map", std::to_string(index)});
      for (const ProbedStream& s : *streams) videoOut += s.type == "video";
      Log("adding to " + target);
    } else {
      // It has such tracks already: a result of an earlier run, not one being built.
      Log(target + " already holds tracks of the kind added: it is replaced");
    }
  }

  for (size_t n = 0; n < tracks.size(); ++n) {
    const Mp4Track& track = tracks[n];
    const Prepared& p = prepared[n];
    int index = addInput(
        p.source, p.feed ? std::vector<std::string>{"-f", "mpegts"} : std::vector<std::string>{});
    std::string map = std::to_string(index);
    if (track.selector == "video") map += ":v";
    if (track.selector == "audio") map += ":a";
    maps.insert(maps.end(), {"-map", map});
    for (const ProbedStream& s : p.streams) {
      if (s.type != "video" || track.selector == "audio") continue;
      const std::string streamSelector = ":v:" + std::to_string(videoOut);
      std::vector<std::string> filters;
      if (track.par && s.codec == "h264")
        filters.push_back(
            Format("h264_metadata=sample_aspect_ratio=%lld/%lld", track.par->num, track.par->den));
      // The delimiters the transport stream needs have no place in an MP4 sample.
      if (p.feed) filters.push_back("filter_units=remove_types=9");
      if (!filters.empty())
        streamOptions.insert(streamOptions.end(), {"-bsf" + streamSelector, Join(filters, ",")});
      if (track.par && !p.aspectInSource && s.width > 0 && s.height > 0) {
        Rational dar = Reduce({s.width * track.par->num, s.height * track.par->den});
        streamOptions.insert(streamOptions.end(),
                             {"-aspect" + streamSelector, Format("%lld:%lld", dar.num, dar.den)});
      }
      ++videoOut;
    }
  }

  std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y", "-v", "error", "-stats"};
  argv.insert(argv.end(), inputs.begin(), inputs.end());
  argv.insert(argv.end(), maps.begin(), maps.end());
  argv.insert(argv.end(), {"-c", "copy"});
  argv.insert(argv.end(), streamOptions.begin(), streamOptions.end());
  if (timescale && rawWithRate == 1)
    argv.insert(argv.end(), {"-video_track_timescale", std::to_string(*timescale)});
  if (!WriteMp4(argv, temp, indexRoom, feeds)) return false;
  return staging.Commit();
}

std::vector<long long> PlanSplit(const std::vector<PacketInfo>& packets, int videoStream,
                                 long long limitBytes, long long packetOverhead) {
  constexpr long long kPartOverhead = 64 * 1024;  // file header and index tables
  std::vector<PacketInfo> order = packets;
  std::stable_sort(order.begin(), order.end(),
                   [](const PacketInfo& a, const PacketInfo& b) { return a.dts < b.dts; });

  // Candidate cut points: key frames of the video after the first packet, with the bytes
  // and packets written before them.
  struct Point {
    long long videoNumber, bytes, count;
  };
  std::vector<Point> points;
  long long bytes = 0, count = 0, videoNumber = 0;
  for (const PacketInfo& p : order) {
    if (p.stream == videoStream) {
      if (p.key && count > 0) points.push_back({videoNumber, bytes, count});
      ++videoNumber;
    }
    bytes += p.size;
    ++count;
  }
  Point end{-1, bytes, count};
  auto partSize = [&](const Point& from, const Point& to) {
    return (to.bytes - from.bytes) + (to.count - from.count) * packetOverhead + kPartOverhead;
  };

  std::vector<long long> cuts;
  Point start{0, 0, 0};
  std::optional<Point> previous;
  for (const Point& point : points) {
    if (partSize(start, point) > limitBytes) {
      if (previous && previous->count > start.count) {
        cuts.push_back(previous->videoNumber);
        start = *previous;
      }
      if (partSize(start, point) > limitBytes) {  // one group of pictures alone is too big
        cuts.push_back(point.videoNumber);
        start = point;
      }
    }
    previous = point;
  }
  if (partSize(start, end) > limitBytes && previous && previous->count > start.count)
    cuts.push_back(previous->videoNumber);
  return cuts;
}

std::optional<std::vector<PacketInfo>> ProbePackets(const std::string& source) {
  RunOptions capture;
  capture.captureOut = true;
  ToolResult probe =
      RunProgram({"ffprobe", "-v", "error", "-show_entries",
                  "packet=stream_index,pts_time,dts_time,size,flags", "-of", "compact=p=0", source},
                 capture);
  if (!probe.Ok()) {
    Log("ffprobe cannot list the packets of " + source);
    return std::nullopt;
  }
  std::vector<PacketInfo> packets;
  for (const std::string& line : Split(probe.out, '\n')) {
    if (line.empty()) continue;
    PacketInfo p;
    std::string pts, dts;
    for (const std::string& field : Split(line, '|')) {
      size_t eq = field.find('=');
      if (eq == std::string::npos) continue;
      std::string key = field.substr(0, eq), value = field.substr(eq + 1);
      if (key == "stream_index") p.stream = static_cast<int>(ParseInt(value).value_or(-1));
      if (key == "pts_time") pts = value;
      if (key == "dts_time") dts = value;
      if (key == "size") p.size = ParseInt(value).value_or(0);
      if (key == "flags") p.key = value.find('K') != std::string::npos;
    }
    std::string time = dts == "N/A" || dts.empty() ? pts : dts;
    p.dts = std::strtod(time.c_str(), nullptr);
    packets.push_back(p);
  }
  return packets;
}

bool SplitMp4(const std::string& path, long long splitKb) {
  std::string source = LocateInput(path);
  auto streams = ProbeStreams(source);
  if (!streams) return false;
  int video = -1;
  for (const ProbedStream& s : *streams)
    if (s.type == "video") {
      video = s.index;
      break;
    }
  if (video < 0) {
    Log(source + " has no video to cut at");
    return false;
  }
  auto packets = ProbePackets(source);
  if (!packets) return false;
  long long limit = splitKb * 1024;
  std::vector<long long> cuts = PlanSplit(*packets, video, limit);
  if (cuts.empty()) {
    Log(Format("%s fits in %lld kB: no need to split", source.c_str(), splitKb));
    return true;
  }

  fs::path p(source);
  std::string stem = p.stem().string();
  Staging staging;
  std::string pattern = staging.Add((p.parent_path() / (stem + "_%03d.mp4")).string());
  if (pattern.empty()) return false;
  std::vector<std::string> frames;
  for (long long cut : cuts) frames.push_back(std::to_string(cut));
  ToolResult r = RunProgram({"ffmpeg",
                             "-nostdin",
                             "-y",
                             "-v",
                             "error",
                             "-i",
                             source,
                             "-map",
                             "0",
                             "-c",
                             "copy",
                             "-f",
                             "segment",
                             "-segment_format",
                             "mp4",
                             "-segment_frames",
                             Join(frames, ","),
                             "-segment_start_number",
                             "1",
                             "-reset_timestamps",
                             "1",
                             "-segment_format_options",
                             "movflags=+faststart",
                             pattern});
  if (!r.Ok()) return false;
  if (staging.FileCount() != static_cast<int>(cuts.size()) + 1) {
    Log(Format("expected %zu parts, ffmpeg wrote %d", cuts.size() + 1, staging.FileCount()));
    return false;
  }
  return staging.Commit();
}

bool ExtractAviRawVideo(const std::string& aviPath) {
  std::string source = LocateInput(aviPath);
  auto streams = ProbeStreams(source);
  if (!streams) return false;
  const ProbedStream* video = nullptr;
  for (const ProbedStream& s : *streams)
    if (s.type == "video") {
      video = &s;
      break;
    }
  if (!video) {
    Log(source + " has no video");
    return false;
  }
  std::string extension, format;
  std::vector<std::string> filter;
  if (video->codec == "h264") {
    extension = "h264";
    format = "h264";
  } else if (video->codec == "mpeg4") {
    extension = "cmp";
    format = "m4v";
    filter = {"-bsf:v", "mpeg4_unpack_bframes"};
  } else {
    Log("raw " + video->codec + " video cannot be written out of an AVI here");
    return false;
  }
  fs::path p(source);
  Staging staging;
  std::string temp =
      staging.Add((p.parent_path() / (p.stem().string() + "_video." + extension)).string());
  if (temp.empty()) return false;
  std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y",
                                   "-v",     "error",    "-i",
                                   source,   "-map",     "0:" + std::to_string(video->index),
                                   "-c:v",   "copy"};
  argv.insert(argv.end(), filter.begin(), filter.end());
  argv.insert(argv.end(), {"-f", format, temp});
  ToolResult r = RunProgram(argv);
  if (!r.Ok() || !FileHasData(temp)) return false;
  return staging.Commit();
}

}  // namespace quillet::toolkit
