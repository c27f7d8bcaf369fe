// avimux/avimux_gui.exe SCRIPT
// The AVI muxer, driven by a script in AVI-Mux GUI's language (the program writes it from
// the template avimux/quillet.amg): the commands are read by AviMuxScript, ffmpeg writes
// the AVI and cuts it into parts (AviWrite).

#include <fstream>
#include <sstream>

#include "toolkit/AviMuxScript.h"
#include "toolkit/AviWrite.h"
#include "toolkit/Files.h"
#include "toolkit/Probe.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

std::optional<AviMuxSourceInfo> ProbeSource(const std::string& path) {
  if (!FileHasData(path)) return std::nullopt;
  auto streams = ProbeStreams(path);
  if (!streams) return std::nullopt;
  AviMuxSourceInfo info;
  for (const ProbedStream& s : *streams) {
    if (s.type == "video") info.hasVideo = true;
    if (s.type == "audio") ++info.audioStreams;
  }
  return info;
}

}  // namespace

int RunAviMux(const SlotCall& call) {
  if (call.args.size() != 1) {
    Log("usage: avimux_gui.exe SCRIPT");
    return 2;
  }
  std::string script = LocateInput(call.args[0]);
  auto text = ReadBytes(script);
  if (!text) {
    Log("cannot read the script " + script);
    return 1;
  }
  std::string folder = FolderOf(script);
  auto path = [&](const std::string& written) { return LocateInput(ScriptPath(written, folder)); };
  std::string error;
  auto plan = RunAviMuxScript(*text, ProbeSource, path, &error);
  if (!plan) {
    Log(script + ": " + error);
    return 1;
  }
  return WriteAvi(*plan) ? 0 : 1;
}

}  // namespace quillet::toolkit
