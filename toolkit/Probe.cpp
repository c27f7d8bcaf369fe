#include "toolkit/Probe.h"

#include "base/Text.h"
#include "toolkit/Process.h"

namespace quillet::toolkit {

std::string BackSurroundFilter(const std::string& channelLayout) {
  if (channelLayout == "5.1(side)") return "channelmap=channel_layout=5.1";
  if (channelLayout == "5.0(side)") return "channelmap=channel_layout=5.0";
  return "";
}

std::optional<double> ProbeSeconds(const std::string& path) {
  RunOptions capture;
  capture.captureOut = true;
  ToolResult r = RunProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                             "default=nw=1:nk=1", path},
                            capture);
  auto seconds = ParseDecimal(Trim(r.out));
  if (r.Ok() && seconds && *seconds > 0) return seconds;
  return std::nullopt;
}

std::optional<std::vector<ProbedStream>> ProbeStreams(const std::string& path) {
  RunOptions options;
  options.captureOut = true;
  ToolResult r = RunProgram(ProbeJsonArgv(path, false), options);
  if (!r.Ok()) {
    Log("ffprobe cannot read " + path);
    return std::nullopt;
  }
  auto probed = ParseProbeJson(r.out);
  if (!probed) {
    Log("ffprobe gave no stream list for " + path);
    return std::nullopt;
  }
  return probed->streams;
}

}  // namespace quillet::toolkit
