#include "toolkit/Probe.h"

#include "toolkit/Json.h"
#include "toolkit/Process.h"
#include "toolkit/Text.h"

namespace quillet::toolkit {

std::optional<std::vector<StreamInfo>> ParseProbeStreams(const std::string& json) {
  auto doc = Json::Parse(json);
  if (!doc || !doc->IsObject()) return std::nullopt;
  std::vector<StreamInfo> streams;
  for (const Json& s : doc->Get("streams").Items()) {
    StreamInfo info;
    info.index = static_cast<int>(s.Get("index").Int(0));
    info.type = s.Get("codec_type").String();
    info.codec = s.Get("codec_name").String();
    info.width = static_cast<int>(s.Get("width").Int(0));
    info.height = static_cast<int>(s.Get("height").Int(0));
    info.channels = static_cast<int>(s.Get("channels").Int(0));
    info.channelLayout = s.Get("channel_layout").String();
    info.sampleRate = static_cast<int>(ParseInt(s.Get("sample_rate").String()).value_or(0));
    info.isDefault = s.Get("disposition").Get("default").Int(0) != 0;
    streams.push_back(info);
  }
  return streams;
}

std::string BackSurroundFilter(const std::string& channelLayout) {
  if (channelLayout == "5.1(side)") return "channelmap=channel_layout=5.1";
  if (channelLayout == "5.0(side)") return "channelmap=channel_layout=5.0";
  return "";
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
