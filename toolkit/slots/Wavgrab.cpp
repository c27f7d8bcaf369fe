// TS/wavgrab.exe SOURCE OUT.wav
// Decodes the source's audio, as a player would pick it (the first audio track flagged
// default, else the first audio track), to a 16-bit WAV; RF64 once it outgrows 4 GB.
// 5.1 comes out with back surround channels, as a Windows decoder writes it.

#include "toolkit/Files.h"
#include "toolkit/Probe.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

int RunWavgrab(const SlotCall& call) {
  if (call.args.size() != 2) {
    Log("usage: wavgrab.exe SOURCE OUT.wav");
    return 2;
  }
  std::string source = LocateInput(call.args[0]);
  auto streams = ProbeStreams(source);
  if (!streams) return 1;
  const ProbedStream* chosen = nullptr;
  for (const ProbedStream& s : *streams)
    if (s.type == "audio" && s.isDefault) {
      chosen = &s;
      break;
    }
  if (!chosen)
    for (const ProbedStream& s : *streams)
      if (s.type == "audio") {
        chosen = &s;
        break;
      }
  if (!chosen) {
    Log(source + " has no audio");
    return 1;
  }

  Staging staging;
  std::string temp = staging.Add(LocateOutput(call.args[1]));
  if (temp.empty()) return 1;
  std::vector<std::string> argv = {
      "ffmpeg", "-nostdin", "-y",   "-v",   "error",
      "-stats", "-i",       source, "-map", "0:" + std::to_string(chosen->index),
      "-vn",    "-sn",      "-dn"};
  std::string layout = BackSurroundFilter(chosen->channelLayout);
  if (!layout.empty()) argv.insert(argv.end(), {"-af", layout});
  argv.insert(argv.end(), {"-c:a", "pcm_s16le", "-rf64", "auto", "-f", "wav", temp});
  ToolResult r = RunProgram(argv);
  if (!r.Ok() || !CheckWav(temp)) return 1;
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
