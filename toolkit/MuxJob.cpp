#include "toolkit/MuxJob.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <set>

#include "base/PathResolve.h"
#include "base/Text.h"

namespace quillet::toolkit {
namespace {

// The program writes the job file in the Windows code page; a path with accents is then
// no UTF-8. Those bytes are read as Windows-1252.
bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    int follow = c < 0x80 ? 0 : c < 0xC2 ? -1 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : c < 0xF5 ? 3 : -1;
    if (follow < 0) return false;
    for (int k = 1; k <= follow; ++k)
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
        return false;
    i += follow + 1;
  }
  return true;
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string Windows1252ToUtf8(std::string_view text) {
  static const unsigned high[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                    0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::string out;
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    AppendUtf8(out, c >= 0x80 && c < 0xA0 ? high[c - 0x80] : c);
  }
  return out;
}

// Splits at commas outside double quotes.
std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted)
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

std::string Unquote(std::string text) {
  text = Trim(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    text = text.substr(1, text.size() - 2);
  return text;
}

bool ParseMuxOptions(std::string_view words, MuxOptions& options, std::string* error) {
  static const std::set<std::string> accepted = {"--no-pcr-on-video-pid", "--new-audio-pes",
                                                 "--vbr"};
  for (const std::string& raw : Split(words, ' ')) {
    std::string word = Trim(raw);
    if (word.empty()) continue;
    size_t eq = word.find('=');
    std::string name = word.substr(0, eq);
    std::string value = eq == std::string::npos ? "" : word.substr(eq + 1);
    if (accepted.count(word)) continue;
    if (word == "--blu-ray") {
      options.bluRay = true;
    } else if (word == "--insertBlankPL") {
      options.insertBlankPlaylist = true;
    } else if (name == "--vbv-len" && ParseInt(value).value_or(-1) >= 0) {
      // The muxer's buffer model: ffmpeg keeps its own.
    } else if (name == "--auto-chapters" && ParseInt(value).value_or(-1) >= 0) {
      options.chapterMinutes = static_cast<int>(*ParseInt(value));
    } else if (name == "--split-size" && ParseSplitSize(value)) {
      options.splitBytes = *ParseSplitSize(value);
    } else {
      if (error) *error = "unknown or bad muxer option " + word;
      return false;
    }
  }
  return true;
}

bool IsStyleField(const std::string& key) {
  static const std::set<std::string> keys = {"font-name",    "font-size",     "font-color",
                                             "font-charset", "bottom-offset", "font-border",
                                             "text-align",   "video-width",   "video-height"};
  return keys.count(key) > 0;
}

bool ApplyField(const std::string& key, const std::string& value, MuxTrack& track,
                std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error)
      *error = Format("line %d: %s=%s %s", track.line, key.c_str(), value.c_str(), why.c_str());
    return false;
  };
  if (key == "track") {
    auto n = ParseInt(value);
    if (!n || *n < 1) return fail("is no track number");
    track.track = *n;
  } else if (key == "fps") {
    if (!ParseFrameRate(value)) return fail("is no frame rate");
    track.fps = value;
  } else if (key == "level") {
    auto level = ParseDecimal(value);
    if (!level || *level < 1 || *level > 6.2) return fail("is no H.264 level");
    if (track.codec != TrackCodec::H264) return fail("applies to H.264 video only");
    track.level = static_cast<int>(std::lround(*level * 10));
  } else if (key == "lang") {
    auto code = NormalizeLanguage(value);
    if (!code) return fail("is no ISO 639-2 language code");
    track.language = *code;
  } else if (IsStyleField(key)) {
    track.style[key] = value;
  } else {
    if (error) *error = Format("line %d: unknown field %s", track.line, key.c_str());
    return false;
  }
  return true;
}

std::optional<MuxTrack> ParseTrackLine(const std::string& line, int number, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<MuxTrack> {
    if (error) *error = Format("line %d: %s", number, why.c_str());
    return std::nullopt;
  };
  std::vector<std::string> fields = SplitFields(line);
  MuxTrack track;
  track.line = number;
  track.codecId = Trim(fields[0]);
  auto codec = CodecFromId(track.codecId);
  if (!codec) return fail("unknown codec " + track.codecId);
  track.codec = *codec;
  if (fields.size() < 2 || Unquote(fields[1]).empty())
    return fail("no source file for " + track.codecId);
  track.path = Unquote(fields[1]);
  for (size_t i = 2; i < fields.size(); ++i) {
    std::string field = Trim(fields[i]);
    if (field.empty()) continue;  // ", , fps=" leaves an empty field
    size_t eq = field.find('=');
    if (eq == std::string::npos) return fail("field without a value: " + field);
    if (!ApplyField(Lower(Trim(field.substr(0, eq))), Unquote(field.substr(eq + 1)), track, error))
      return std::nullopt;
  }
  return track;
}

}  // namespace

std::optional<TrackCodec> CodecFromId(std::string_view id) {
  static const std::vector<std::pair<const char*, TrackCodec>> ids = {
      {"V_MPEG4/ISO/AVC", TrackCodec::H264},
      {"V_MS/VFW/WVC1", TrackCodec::Vc1},
      {"V_MPEG-2", TrackCodec::Mpeg2Video},
      {"A_AC3", TrackCodec::Ac3},
      {"A_DTS", TrackCodec::Dts},
      {"A_MP3", TrackCodec::Mp3},
      {"A_MP2", TrackCodec::Mp2},
      {"A_AAC", TrackCodec::Aac},
      {"S_TEXT/UTF8", TrackCodec::TextSubtitle}};
  for (const auto& [name, codec] : ids)
    if (id == name) return codec;
  return std::nullopt;
}

bool IsVideoCodec(TrackCodec codec) {
  return codec == TrackCodec::H264 || codec == TrackCodec::Vc1 || codec == TrackCodec::Mpeg2Video;
}

bool IsAudioCodec(TrackCodec codec) {
  return !IsVideoCodec(codec) && codec != TrackCodec::TextSubtitle;
}

std::optional<long long> ParseSplitSize(std::string_view text) {
  std::string t = Lower(Trim(text));
  long long unit = 0;
  if (EndsWith(t, "kb")) unit = 1000;
  if (EndsWith(t, "mb")) unit = 1000 * 1000;
  if (EndsWith(t, "gb")) unit = 1000 * 1000 * 1000;
  if (unit == 0) return std::nullopt;
  auto number = ParseDecimal(t.substr(0, t.size() - 2));
  if (!number || *number <= 0) return std::nullopt;
  long long bytes = std::llround(*number * static_cast<double>(unit));
  return bytes > 0 ? std::optional<long long>(bytes) : std::nullopt;
}

std::optional<std::string> NormalizeLanguage(std::string_view text) {
  std::string code = Lower(Trim(text));
  if (code.empty() || code == "undefined") return "und";
  if (code.size() != 3) return std::nullopt;
  for (char c : code)
    if (c < 'a' || c > 'z') return std::nullopt;
  return code;
}

namespace {

std::optional<MuxJob> ParseJobText(std::string text, std::string* error) {
  if (StartsWith(text, "\xEF\xBB\xBF")) text.erase(0, 3);
  MuxJob job;
  int number = 0;
  for (std::string line : Split(text, '\n')) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trim(line).empty()) continue;
    if (StartsWith(Trim(line), "MUXOPT")) {
      if (!ParseMuxOptions(Trim(line).substr(6), job.options, error)) return std::nullopt;
      continue;
    }
    auto track = ParseTrackLine(line, number, error);
    if (!track) return std::nullopt;
    job.tracks.push_back(*track);
  }
  int videos = 0;
  for (const MuxTrack& t : job.tracks) videos += IsVideoCodec(t.codec) ? 1 : 0;
  if (job.tracks.empty() || videos > 1) {
    if (error)
      *error =
          job.tracks.empty() ? "the job names no track" : "the job names more than one video track";
    return std::nullopt;
  }
  return job;
}

}  // namespace

std::optional<MuxJob> ParseMuxJob(std::string_view raw, std::string* error) {
  if (IsUtf8(raw)) return ParseJobText(std::string(raw), error);
  std::optional<MuxJob> job = ParseJobText(Windows1252ToUtf8(raw), error);
  // Text that is no UTF-8 comes from Windows, or names a file whose name is bytes in
  // another encoding ("caf\xe9.mkv" on Linux): a path that names a file as written is
  // taken as written.
  const std::optional<MuxJob> asWritten = ParseJobText(std::string(raw), nullptr);
  if (!job || !asWritten || asWritten->tracks.size() != job->tracks.size()) return job;
  for (size_t i = 0; i < job->tracks.size(); ++i) {
    std::error_code ec;
    if (std::filesystem::exists(LocateInput(asWritten->tracks[i].path), ec))
      job->tracks[i].path = asWritten->tracks[i].path;
  }
  return job;
}

Rational Reduce(Rational r) {
  long long g = std::gcd(r.num, r.den);
  if (g > 1) {
    r.num /= g;
    r.den /= g;
  }
  return r;
}

std::optional<Rational> ParseFrameRate(const std::string& text) {
  std::string t = Trim(text);
  if (t.find('/') != std::string::npos) {
    auto parts = Split(t, '/');
    if (parts.size() != 2) return std::nullopt;
    auto n = ParseInt(parts[0]), d = ParseInt(parts[1]);
    if (!n || !d || *n <= 0 || *d <= 0) return std::nullopt;
    return Rational{*n, *d};
  }
  auto value = ParseDecimal(t);
  if (!value || *value <= 0 || *value > 1000) return std::nullopt;
  for (long long k : {24, 30, 48, 60, 120})
    if (std::fabs(*value - k * 1000.0 / 1001.0) < 0.0015) return Rational{k * 1000, 1001};
  size_t dot = t.find('.');
  std::string digits = dot == std::string::npos ? "" : t.substr(dot + 1);
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.size() > 6) return std::nullopt;
  long long den = 1;
  for (size_t i = 0; i < digits.size(); ++i) den *= 10;
  std::string whole = dot == std::string::npos ? t : t.substr(0, dot);
  long long num =
      (whole.empty() ? 0 : *ParseInt(whole)) * den + (digits.empty() ? 0 : *ParseInt(digits));
  return Reduce({num, den});
}

std::optional<Rational> ParseRatio(const std::string& text) {
  std::string t = text;
  std::replace(t.begin(), t.end(), '/', ':');
  auto parts = Split(t, ':');
  if (parts.size() != 2) return std::nullopt;
  auto a = ParseInt(parts[0]), b = ParseInt(parts[1]);
  if (!a || !b || *a <= 0 || *b <= 0) return std::nullopt;
  return Reduce({*a, *b});
}

}  // namespace quillet::toolkit
