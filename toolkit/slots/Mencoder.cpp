// Mencoder/Mencoder.exe [options]
// Debian's mencoder, with the options its build refuses or reads otherwise put as it
// understands them (x264's bare b_pyramid, lavc's mv0 and lmin, Xvid's rates from 16000
// kbit/s and its negative "size" rates). The paths it reads are found as Windows finds
// them. The -o file appears only when mencoder succeeded and it holds video: mencoder
// ends with 0 after refusing an option, without writing anything. The passes of a
// multi-pass encode keep their statistics ("divx2pass.log") in the slot's folder, not in
// whatever folder the program was started from, where two conversions would share them.

#include <cmath>
#include <cstdlib>
#include <set>

#include "base/Text.h"
#include "toolkit/AviMp3Chunks.h"
#include "toolkit/Files.h"
#include "toolkit/Probe.h"
#include "toolkit/Process.h"
#include "toolkit/progress/ProgressParsers.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

// The lavc lambda of one quantiser step (FF_QP2LAMBDA).
constexpr int kQpToLambda = 118;
// Xvid's rate option reads values from here on as bits/s, below as kbit/s.
constexpr long long kXvidBitsPerSecondFrom = 16000;

// mencoder options that take a value; any other option is a flag.
bool TakesValue(const std::string& option) {
  static const std::set<std::string> options = {"o",
                                                "of",
                                                "ovc",
                                                "oac",
                                                "xvidencopts",
                                                "x264encopts",
                                                "lavcopts",
                                                "lameopts",
                                                "faacopts",
                                                "lavfopts",
                                                "mpegopts",
                                                "ofps",
                                                "fps",
                                                "vf",
                                                "af",
                                                "font",
                                                "subfont",
                                                "sub",
                                                "sid",
                                                "aid",
                                                "vid",
                                                "alang",
                                                "slang",
                                                "mc",
                                                "endpos",
                                                "ss",
                                                "frames",
                                                "srate",
                                                "channels",
                                                "passlogfile",
                                                "subwidth",
                                                "subpos",
                                                "subcp",
                                                "subdelay",
                                                "subfps",
                                                "subfont-autoscale",
                                                "subfont-text-scale",
                                                "subfont-osd-scale",
                                                "subfont-blur",
                                                "subfont-outline",
                                                "audiofile",
                                                "demuxer",
                                                "audio-demuxer",
                                                "ffourcc",
                                                "sws",
                                                "vobsub",
                                                "vobsubid",
                                                "aspect",
                                                "force-avi-aspect",
                                                "delay",
                                                "audio-delay",
                                                "audio-density",
                                                "audio-preload",
                                                "skiplimit",
                                                "info",
                                                "ass-font-scale",
                                                "ass-line-spacing",
                                                "ass-color"};
  return options.count(option.substr(1)) > 0;
}

// Options whose value is a file the encoder reads.
bool ReadsFile(const std::string& option) {
  return option == "-sub" || option == "-font" || option == "-subfont" || option == "-audiofile";
}

std::string FixOptionValue(const std::string& option, const std::string& value) {
  if (option == "-x264encopts") return FixX264EncOpts(value);
  if (option == "-lavcopts") return FixLavcOpts(value);
  if (option == "-xvidencopts") return FixXvidEncOpts(value);
  return value;
}

// The bitrate= value of Xvid options, nullopt when there is none.
std::optional<long long> XvidBitrate(const std::string& options) {
  for (const std::string& part : Split(options, ':'))
    if (StartsWith(part, "bitrate=")) return ParseInt(part.substr(8));
  return std::nullopt;
}

std::string WithXvidBitrate(const std::string& options, long long kbitPerSecond) {
  std::vector<std::string> parts = Split(options, ':');
  long long value = kbitPerSecond >= kXvidBitsPerSecondFrom ? kbitPerSecond * 1000 : kbitPerSecond;
  for (std::string& part : parts)
    if (StartsWith(part, "bitrate=")) part = "bitrate=" + std::to_string(value);
  return Join(parts, ":");
}

}  // namespace

std::string FixX264EncOpts(const std::string& options) {
  std::vector<std::string> parts = Split(options, ':');
  for (std::string& part : parts)
    if (part == "b_pyramid" || part == "b-pyramid") part += "=normal";
  return Join(parts, ":");
}

std::string FixLavcOpts(const std::string& options) {
  std::vector<std::string> parts = Split(options, ':');
  for (std::string& part : parts) {
    if (part == "mv0") part = "o=mpv_flags=+mv0";
    if (StartsWith(part, "lmin=")) {
      auto quantiser = ParseDecimal(part.substr(5));
      if (quantiser) part = "o=lmin=" + std::to_string(std::lround(*quantiser * kQpToLambda));
    }
  }
  return Join(parts, ":");
}

std::string FixXvidEncOpts(const std::string& options) {
  auto rate = XvidBitrate(options);
  if (!rate || *rate < kXvidBitsPerSecondFrom) return options;
  return WithXvidBitrate(options, *rate);
}

std::string XvidOptsForSize(const std::string& options, long long wantedKb, double seconds) {
  double kbit = static_cast<double>(wantedKb) * 1024 * 8 / 1000 / seconds;
  return WithXvidBitrate(options, std::max(1L, std::lround(kbit)));
}

MencoderCall TranslateMencoderArgs(const std::vector<std::string>& args) {
  MencoderCall call;
  bool multiPass = false, ownPassLog = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    call.args.push_back(a);
    int at = static_cast<int>(call.args.size());  // where a value lands
    if (a.size() < 2 || a[0] != '-') {
      call.inputs.push_back(at - 1);
      call.sources.push_back(at - 1);
      continue;
    }
    if (a == "-passlogfile") ownPassLog = true;
    if (a == "-demuxer") call.demuxerGiven = true;
    if (!TakesValue(a) || i + 1 >= args.size()) continue;
    const std::string& value = args[++i];
    call.args.push_back(FixOptionValue(a, value));
    if (a == "-o") call.outputIndex = at;
    if (a == "-ovc") call.videoCodec = value;
    if (a == "-oac") call.audioCodec = value;
    if (ReadsFile(a)) call.inputs.push_back(at);
    if (a == "-x264encopts")
      for (const std::string& part : Split(value, ':'))
        if (StartsWith(part, "pass=")) multiPass = true;
    if (a == "-xvidencopts") {
      call.xvidOptsIndex = at;
      if (auto rate = XvidBitrate(value); rate && *rate < 0) call.wantedVideoKb = -*rate;
    }
  }
  call.needsPassLog = multiPass && !ownPassLog;
  return call;
}

bool NeedsLavfDemuxer(const MencoderCall& call,
                      const std::function<bool(const std::string&)>& isAvi) {
  if (call.demuxerGiven || call.videoCodec.empty() || call.videoCodec == "copy") return false;
  for (int index : call.sources)
    if (isAvi(call.args[static_cast<size_t>(index)])) return true;
  return false;
}

namespace {

bool IsAviFile(const std::string& path) {
  auto head = ReadBytes(path, 12);
  return head && head->size() == 12 && head->compare(0, 4, "RIFF") == 0 &&
         head->compare(8, 4, "AVI ") == 0;
}

// The length in seconds of the first source that ffprobe can read.
std::optional<double> SourceSeconds(const MencoderCall& m) {
  for (int index : m.sources) {
    const std::string& path = m.args[static_cast<size_t>(index)];
    if (!FileHasData(path)) continue;
    if (auto seconds = ProbeSeconds(path)) return seconds;
  }
  return std::nullopt;
}

// A negative Xvid rate made into the rate that gives the wanted size.
bool SetRateForWantedSize(MencoderCall& m) {
  if (m.wantedVideoKb <= 0) return true;
  auto seconds = SourceSeconds(m);
  if (!seconds) {
    Log("the length of the source is unknown: no rate for a video of " +
        std::to_string(m.wantedVideoKb) + " kB");
    return false;
  }
  std::string& options = m.args[static_cast<size_t>(m.xvidOptsIndex)];
  options = XvidOptsForSize(options, m.wantedVideoKb, *seconds);
  return true;
}

bool HoldsVideo(const std::string& path) {
  if (!FileHasData(path)) {
    Log("mencoder wrote nothing");
    return false;
  }
  auto streams = ProbeStreams(path);
  if (streams)
    for (const ProbedStream& s : *streams)
      if (s.type == "video") return true;
  Log("mencoder wrote no video to " + NameOf(path));
  return false;
}

}  // namespace

// mencoder ignores a failed write (a full disk) and ends well with a cut file. Its closing
// lines tell what it wrote of each stream ("Audio stream: ... size: 201120 bytes"), which
// the file must hold at least.
class MencoderRun : public MencoderProgress {
 public:
  long long streamBytes = 0;

 protected:
  bool TakeLine(std::string_view line) override {
    const size_t at = line.find(" size: ");
    if (at != std::string_view::npos && line.find("stream:") != std::string_view::npos)
      streamBytes += std::atoll(std::string(line.substr(at + 7)).c_str());
    return MencoderProgress::TakeLine(line);
  }
};

bool WroteAll(long long streamBytes, const std::string& path) {
  const long long size = FileSize(path);
  if (size >= streamBytes) return true;
  Log(Format("mencoder wrote %lld of its %lld bytes of streams to %s", size, streamBytes,
             path.c_str()));
  ReportFullDisk(FolderOf(path));
  return false;
}

int RunMencoder(const SlotCall& call) {
  MencoderCall m = TranslateMencoderArgs(call.args);
  for (int index : m.inputs)
    m.args[static_cast<size_t>(index)] = LocateInput(m.args[static_cast<size_t>(index)]);
  if (!SetRateForWantedSize(m)) return 1;
  Staging staging;
  std::string output, temp;
  if (m.outputIndex >= 0) {
    output = LocateOutput(m.args[static_cast<size_t>(m.outputIndex)]);
    temp = staging.Add(output);
    if (temp.empty()) return 1;
    m.args[static_cast<size_t>(m.outputIndex)] = temp;
  }
  std::vector<std::string> argv = {"mencoder"};
  const bool throughLavf = NeedsLavfDemuxer(m, IsAviFile);
  if (throughLavf) argv.insert(argv.end(), {"-demuxer", "lavf"});
  if (m.needsPassLog)
    argv.insert(argv.end(), {"-passlogfile", SlotFilesFolder(call.invokedAs) + "/divx2pass.log"});
  argv.insert(argv.end(), m.args.begin(), m.args.end());
  MencoderRun progress;
  RunOptions options;
  options.progress = &progress;
  ToolResult r = RunProgram(argv, options);
  if (!r.Ok()) return 1;
  if (!temp.empty() && (!WroteAll(progress.streamBytes, temp) || !HoldsVideo(temp))) return 1;
  // Sound copied from an AVI read through lavf gets a header that lavf made up for it (its
  // own AVI reader gives the source's): MP3 is put one frame to a chunk under a true one.
  if (!temp.empty() && throughLavf && m.audioCodec == "copy" && IsAviFile(temp) &&
      !RechunkAviMp3(temp, staging.Scratch(FolderOf(output))))
    return 1;
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
