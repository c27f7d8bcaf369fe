// TS/asf2vc1.exe SRC OUT.vc1
// The VC-1 video of a Windows Media (ASF) file as an elementary stream: the sequence and
// entry-point headers first, every frame behind its start code, as the muxer's
// V_MS/VFW/WVC1 line reads it. ffmpeg's raw VC-1 muxer writes it from a stream copy; the
// result must start with the sequence header and split into as many frames as the source
// holds, so frames stored without their start codes are refused rather than run together.
// Only the advanced profile (WVC1) has such a stream form; other video fails with one line
// naming what the file holds.

#include <string>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Probe.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

// What the source holds, for the refusal: "wmv2 video and wmav2 audio".
std::string Contents(const std::vector<ProbedStream>& streams) {
  std::string text;
  for (const ProbedStream& s : streams) {
    if (s.type != "video" && s.type != "audio") continue;
    if (!text.empty()) text += " and ";
    text += s.codec + " " + s.type;
  }
  return text.empty() ? "no video or audio" : text;
}

bool StartsWithSequenceHeader(const std::string& path) {
  auto head = ReadBytes(path, 4);
  return head && *head == std::string("\x00\x00\x01\x0F", 4);
}

// The packets ffprobe reads from one video stream: `selection` names the stream or format.
long long CountPackets(std::vector<std::string> selection, const std::string& path) {
  std::vector<std::string> argv = {"ffprobe", "-v", "error"};
  argv.insert(argv.end(), selection.begin(), selection.end());
  if (selection[0] == "-f") argv.insert(argv.end(), {"-select_streams", "v:0"});
  argv.insert(argv.end(), {"-count_packets", "-show_entries", "stream=nb_read_packets", "-of",
                           "default=nw=1:nk=1", path});
  RunOptions options;
  options.captureOut = true;
  options.captureErr = true;
  ToolResult r = RunProgram(argv, options);
  return r.Ok() ? ParseInt(Trim(r.out)).value_or(-1) : -1;
}

}  // namespace

int RunAsf2Vc1(const SlotCall& call) {
  if (call.args.size() != 2) {
    Log("usage: asf2vc1.exe SRC OUT.vc1");
    return 2;
  }
  const std::string source = LocateInput(call.args[0]);
  auto streams = ProbeStreams(source);
  if (!streams) return 1;
  const ProbedStream* video = nullptr;
  for (const ProbedStream& s : *streams)
    if (s.type == "video" && !video) video = &s;
  if (!video || video->codec != "vc1") {
    Log(call.args[0] + " holds " + Contents(*streams) +
        ", no VC-1 (WVC1) video: no elementary stream written");
    return 1;
  }
  Staging staging;
  const std::string output = staging.Add(LocateOutput(call.args[1]));
  if (output.empty()) return 1;
  if (!RunProgram({"ffmpeg", "-nostdin", "-y", "-v", "error", "-i", source, "-map",
                   Format("0:%d", video->index), "-c:v", "copy", "-f", "vc1", output})
           .Ok())
    return 1;
  if (!StartsWithSequenceHeader(output)) {
    Log("the stream written from " + call.args[0] + " does not start with a VC-1 sequence header");
    return 1;
  }
  const long long frames = CountPackets({"-select_streams", Format("%d", video->index)}, source);
  const long long written = CountPackets({"-f", "vc1"}, output);
  if (frames <= 0 || written != frames) {
    Log(
        Format("the stream written from %s splits into %lld frames, the source holds %lld: its "
               "frames lack start codes",
               call.args[0].c_str(), written, frames));
    return 1;
  }
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
