#include "check/ReportJson.h"

#include <cstdio>

namespace quillet {
namespace {

// Length of the valid UTF-8 sequence at `at`, 0 when the bytes there are not one.
std::size_t Utf8Length(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned minimum = 0;
  unsigned code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

// Builds the document with commas in their places.
class Json {
 public:
  Json& Open(char bracket) {
    Comma();
    out_ += bracket;
    first_ = true;
    return *this;
  }
  Json& Close(char bracket) {
    out_ += bracket;
    first_ = false;
    return *this;
  }
  Json& Key(const char* key) {
    Comma();
    out_ += JsonString(key) + ":";
    first_ = true;  // the value follows without a comma
    return *this;
  }
  Json& Str(const std::string& value) { return Raw(JsonString(value)); }
  Json& Int(long long value) { return Raw(std::to_string(value)); }
  Json& Bool(bool value) { return Raw(value ? "true" : "false"); }
  Json& Null() { return Raw("null"); }
  Json& Real(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.3f", value);
    return Raw(text);
  }
  Json& Field(const char* key, const std::string& value) { return Key(key).Str(value); }
  Json& Field(const char* key, long long value) { return Key(key).Int(value); }
  Json& Flag(const char* key, bool value) { return Key(key).Bool(value); }
  std::string Text() const { return out_; }

 private:
  void Comma() {
    if (!first_) out_ += ',';
    first_ = false;
  }
  Json& Raw(const std::string& text) {
    Comma();
    out_ += text;
    return *this;
  }
  std::string out_;
  bool first_ = true;
};

void WriteVideo(Json& j, const VideoFacts& v) {
  j.Key("video");
  if (!v.present) {
    j.Null();
    return;
  }
  j.Open('{').Field("codec", v.codec).Field("profile", v.profile).Field("level", v.level);
  j.Field("width", v.width).Field("height", v.height).Key("fps").Real(v.fps);
  j.Flag("interlaced", v.interlaced).Field("refFrames", v.refFrames);
  j.Field("dpbFrames", v.dpbFrames).Flag("dpbChecked", v.dpbChecked).Flag("dpbFits", v.dpbFits);
  j.Field("bitrate", static_cast<long long>(v.bitrate)).Flag("bitrateOverall", v.bitrateOverall);
  j.Flag("qpel", v.qpel).Flag("gmc", v.gmc).Flag("vfw", v.vfw).Close('}');
}

void WriteTracks(Json& j, const MediaFacts& f) {
  j.Key("audio").Open('[');
  for (const AudioFacts& a : f.audio)
    j.Open('{')
        .Field("codec", a.codec)
        .Field("channels", a.channels)
        .Field("sampleRate", a.sampleRate)
        .Close('}');
  j.Close(']').Key("subtitles").Open('[');
  for (const SubtitleFacts& s : f.subtitles)
    j.Open('{').Field("codec", s.codec).Flag("bitmap", s.bitmap).Close('}');
  j.Close(']');
}

void WriteReasons(Json& j, const char* key, const std::vector<Reason>& reasons) {
  j.Key(key).Open('[');
  for (const Reason& r : reasons)
    j.Open('{')
        .Field("limit", LimitId(r.limit))
        .Field("needs", VerdictKindId(r.needs))
        .Field("value", r.value)
        .Field("allowed", r.allowed)
        .Field("text", r.text)
        .Close('}');
  j.Close(']');
}

void WriteVerdict(Json& j, const Verdict& v) {
  j.Open('{').Field("player", InfoOf(v.player).id).Field("verdict", VerdictKindId(v.kind));
  j.Key("output");
  v.output.empty() ? j.Null() : j.Str(v.output);
  j.Key("options").Open('[');
  for (const std::string& option : v.options) j.Str(option);
  j.Close(']').Key("reencodeTo");
  v.reencodeTo.empty() ? j.Null() : j.Str(v.reencodeTo);
  WriteReasons(j, "reasons", v.reasons);
  WriteReasons(j, "notes", v.notes);
  j.Close('}');
}

void WriteFile(Json& j, const FileReport& file) {
  const MediaFacts& f = file.facts;
  j.Open('{').Field("path", f.path).Flag("readable", f.readable);
  j.Key("problem");
  f.readable ? j.Null() : j.Str(f.problem);
  j.Field("container", ContainerId(f.container))
      .Field("sizeBytes", static_cast<long long>(f.sizeBytes));
  j.Key("durationSeconds").Real(f.durationSeconds);
  WriteVideo(j, f.video);
  WriteTracks(j, f);
  j.Key("verdicts").Open('[');
  for (const Verdict& v : file.verdicts) WriteVerdict(j, v);
  j.Close(']').Close('}');
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else if (c >= 0x80) {
      const std::size_t length = Utf8Length(text, i);
      out += length ? text.substr(i, length) : "\xEF\xBF\xBD";
      i += length ? length : 1;
      continue;
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  return out + "\"";
}

std::string ReportJson(const CheckReport& report) {
  Json j;
  j.Open('{').Field("schema", "quillet-check/1").Key("players").Open('[');
  for (Player p : report.players) j.Str(InfoOf(p).id);
  j.Close(']').Field("exitStatus", CheckExitStatus(report)).Key("files").Open('[');
  for (const FileReport& file : report.files) WriteFile(j, file);
  j.Close(']').Close('}');
  return j.Text() + "\n";
}

}  // namespace quillet
