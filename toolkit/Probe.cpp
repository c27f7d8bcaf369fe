#include "toolkit/Probe.h"

#include "toolkit/JsonFields.h"
#include "toolkit/Process.h"
#include "toolkit/Text.h"

namespace quillet::toolkit {

std::optional<std::vector<StreamInfo>> ParseProbeStreams(const std::string& json) {
  auto doc = ParseJson(json);
  if (!doc || !doc->is_object()) return std::nullopt;
  std::vector<StreamInfo> streams;
  for (const JsonValue& s : Elements(Member(*doc, "streams"))) {
    StreamInfo info;
    info.index = static_cast<int>(IntOf(Member(s, "index")));
    info.type = StringOf(Member(s, "codec_type"));
    info.codec = StringOf(Member(s, "codec_name"));
    info.width = static_cast<int>(IntOf(Member(s, "width")));
    info.height = static_cast<int>(IntOf(Member(s, "height")));
    info.channels = static_cast<int>(IntOf(Member(s, "channels")));
    info.channelLayout = StringOf(Member(s, "channel_layout"));
    info.sampleRate = static_cast<int>(ParseInt(StringOf(Member(s, "sample_rate"))).value_or(0));
    info.isDefault = IntOf(Member(Member(s, "disposition"), "default")) != 0;
    streams.push_back(info);
  }
  return streams;
}

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

std::optional<std::vector<StreamInfo>> ProbeStreams(const std::string& path) {
  RunOptions options;
  options.captureOut = true;
  ToolResult r =
      RunProgram({"ffprobe", "-v", "error", "-show_streams", "-of", "json", path}, options);
  if (!r.Ok()) {
    Log("ffprobe cannot read " + path);
    return std::nullopt;
  }
  auto streams = ParseProbeStreams(r.out);
  if (!streams) Log("ffprobe gave no stream list for " + path);
  return streams;
}

}  // namespace quillet::toolkit
