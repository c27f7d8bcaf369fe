#include "check/ReportJson.h"

#include <cmath>
#include <nlohmann/json.hpp>

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

using Json = nlohmann::ordered_json;

// A text made valid UTF-8: every byte that is not part of a valid sequence becomes U+FFFD.
std::string ValidUtf8(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const bool ascii = static_cast<unsigned char>(text[i]) < 0x80;
    const std::size_t length = ascii ? 1 : Utf8Length(text, i);
    out += length ? text.substr(i, length) : "\xEF\xBF\xBD";
    i += length ? length : 1;
  }
  return out;
}

Json Text(const std::string& text) {
  return ValidUtf8(text);
}

Json TextOrNull(const std::string& text) {
  return text.empty() ? Json(nullptr) : Text(text);
}

// Seconds and frame rates to the millisecond.
double Thousandths(double value) {
  return std::round(value * 1000) / 1000;
}

Json VideoJson(const VideoFacts& v) {
  if (!v.present) return nullptr;
  return {{"codec", Text(v.codec)},
          {"profile", Text(v.profile)},
          {"level", v.level},
          {"width", v.width},
          {"height", v.height},
          {"fps", Thousandths(v.fps)},
          {"interlaced", v.interlaced},
          {"refFrames", v.refFrames},
          {"dpbFrames", v.dpbFrames},
          {"dpbChecked", v.dpbChecked},
          {"dpbFits", v.dpbFits},
          {"bitrate", static_cast<long long>(v.bitrate)},
          {"bitrateOverall", v.bitrateOverall},
          {"qpel", v.qpel},
          {"gmc", v.gmc},
          {"vfw", v.vfw}};
}

Json ReasonsJson(const std::vector<Reason>& reasons) {
  Json list = Json::array();
  for (const Reason& r : reasons)
    list.push_back({{"limit", LimitId(r.limit)},
                    {"needs", VerdictKindId(r.needs)},
                    {"value", Text(r.value)},
                    {"allowed", Text(r.allowed)},
                    {"text", Text(r.text)}});
  return list;
}

Json VerdictJson(const Verdict& v) {
  Json options = Json::array();
  for (const std::string& option : v.options) options.push_back(Text(option));
  return {{"player", InfoOf(v.player).id},          {"verdict", VerdictKindId(v.kind)},
          {"output", TextOrNull(v.output)},         {"options", options},
          {"reencodeTo", TextOrNull(v.reencodeTo)}, {"reasons", ReasonsJson(v.reasons)},
          {"notes", ReasonsJson(v.notes)}};
}

Json FileJson(const FileReport& file) {
  const MediaFacts& f = file.facts;
  Json audio = Json::array(), subtitles = Json::array(), verdicts = Json::array();
  for (const AudioFacts& a : f.audio)
    audio.push_back(
        {{"codec", Text(a.codec)}, {"channels", a.channels}, {"sampleRate", a.sampleRate}});
  for (const SubtitleFacts& s : f.subtitles)
    subtitles.push_back({{"codec", Text(s.codec)}, {"bitmap", s.bitmap}});
  for (const Verdict& v : file.verdicts) verdicts.push_back(VerdictJson(v));
  return {{"path", Text(f.path)},
          {"readable", f.readable},
          {"problem", f.readable ? Json(nullptr) : Text(f.problem)},
          {"container", ContainerId(f.container)},
          {"sizeBytes", static_cast<long long>(f.sizeBytes)},
          {"durationSeconds", Thousandths(f.durationSeconds)},
          {"video", VideoJson(f.video)},
          {"audio", audio},
          {"subtitles", subtitles},
          {"verdicts", verdicts}};
}

// The document as text. A DELETE byte, which JSON leaves as it is, is written escaped:
// no other byte of UTF-8 text has that value.
std::string Dump(const Json& doc) {
  std::string text = doc.dump();
  std::string out;
  for (char c : text) out += c == '\x7f' ? std::string("\\u007f") : std::string(1, c);
  return out;
}

}  // namespace

std::string JsonString(const std::string& text) {
  return Dump(Text(text));
}

std::string ReportJson(const CheckReport& report) {
  Json players = Json::array(), files = Json::array();
  for (Player p : report.players) players.push_back(InfoOf(p).id);
  for (const FileReport& file : report.files) files.push_back(FileJson(file));
  const Json doc = {{"schema", "quillet-check/1"},
                    {"players", players},
                    {"exitStatus", CheckExitStatus(report)},
                    {"files", files}};
  return Dump(doc) + "\n";
}

}  // namespace quillet
