#include "base/Ffprobe.h"

#include <sstream>

#include "base/JsonFields.h"
#include "base/Text.h"

namespace quillet {
namespace {

// "30000/1001" -> 29.97; 0 for anything else.
double Rate(const std::string& text) {
  auto parts = Split(text, '/');
  auto num = ParseDecimal(parts[0]);
  auto den = parts.size() == 2 ? ParseDecimal(parts[1]) : std::optional<double>(1);
  return num && den && *den > 0 ? *num / *den : 0;
}

// "00:01:02.500000000" (a Matroska statistics tag) in seconds.
double Clock(const std::string& text) {
  auto parts = Split(text, ':');
  if (parts.size() != 3) return 0;
  auto h = ParseDecimal(parts[0]), m = ParseDecimal(parts[1]), s = ParseDecimal(parts[2]);
  return h && m && s ? *h * 3600 + *m * 60 + *s : 0;
}

ProbedStream ReadStream(const JsonValue& s) {
  ProbedStream info;
  info.index = static_cast<int>(IntOf(Member(s, "index")));
  const std::string id = TextOf(Member(s, "id"));
  info.id = StartsWith(id, "0x") ? static_cast<int>(std::stol(id.substr(2), nullptr, 16)) : 0;
  info.type = TextOf(Member(s, "codec_type"));
  info.codec = TextOf(Member(s, "codec_name"));
  info.profile = TextOf(Member(s, "profile"));
  info.level = static_cast<int>(IntOf(Member(s, "level")));
  info.width = static_cast<int>(IntOf(Member(s, "width")));
  info.height = static_cast<int>(IntOf(Member(s, "height")));
  const std::string order = TextOf(Member(s, "field_order"));
  info.interlaced = !order.empty() && order != "progressive" && order != "unknown";
  info.fps = Rate(TextOf(Member(s, "avg_frame_rate")));
  if (info.fps <= 0) info.fps = Rate(TextOf(Member(s, "r_frame_rate")));
  info.channels = static_cast<int>(IntOf(Member(s, "channels")));
  info.channelLayout = TextOf(Member(s, "channel_layout"));
  info.sampleRate = static_cast<int>(IntOf(Member(s, "sample_rate")));
  const JsonValue& tags = Member(s, "tags");
  info.bitrate = IntOf(Member(s, "bit_rate"));
  if (info.bitrate == 0) info.bitrate = IntOf(Member(tags, "BPS"));
  info.language = TextOf(Member(tags, "language"));
  info.duration = NumberOf(Member(s, "duration"));
  info.start = NumberOf(Member(s, "start_time"));
  if (info.duration <= 0) info.duration = Clock(TextOf(Member(tags, "DURATION")));
  info.isDefault = IntOf(Member(Member(s, "disposition"), "default")) != 0;
  return info;
}

ProbedFile ReadFile(const JsonValue& doc) {
  ProbedFile file;
  const JsonValue& format = Member(doc, "format");
  file.format = TextOf(Member(format, "format_name"));
  file.duration = NumberOf(Member(format, "duration"));
  file.start = NumberOf(Member(format, "start_time"));
  file.bitrate = IntOf(Member(format, "bit_rate"));
  for (const JsonValue& s : Elements(Member(doc, "streams")))
    if (s.is_object()) file.streams.push_back(ReadStream(s));
  return file;
}

}  // namespace

std::optional<ProbedFile> ParseProbeJson(const std::string& json) {
  auto doc = ParseJson(json);
  if (!doc || !doc->is_object()) return std::nullopt;
  return ReadFile(*doc);
}

ProbedFile ParseProbeFlat(const std::string& text) {
  // The flat lines become the document the JSON answer would be, values as text.
  JsonValue doc = JsonValue::object();
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string value = line.substr(eq + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    std::vector<std::string> key = Split(line.substr(0, eq), '.');
    JsonValue* at = nullptr;
    size_t rest = 0;
    if (key.size() >= 2 && key[0] == "format") {
      at = &doc["format"];
      rest = 1;
    } else if (key.size() >= 4 && key[0] == "streams" && key[1] == "stream") {
      const auto index = ParseInt(key[2]);
      if (!index || *index < 0 || *index > 1000) continue;
      JsonValue& streams = doc["streams"];
      while (streams.size() <= static_cast<size_t>(*index))
        streams.push_back({{"index", static_cast<long long>(streams.size())}});
      at = &streams[static_cast<size_t>(*index)];
      rest = 3;
    } else {
      continue;
    }
    for (size_t i = rest; i + 1 < key.size(); ++i) at = &(*at)[key[i]];
    (*at)[key.back()] = value;
  }
  return ReadFile(doc);
}

std::vector<std::string> ProbeJsonArgv(const std::string& path, bool withFormat) {
  std::vector<std::string> argv = {"ffprobe", "-v", "error"};
  if (withFormat) argv.push_back("-show_format");
  argv.insert(argv.end(), {"-show_streams", "-of", "json", path});
  return argv;
}

}  // namespace quillet
