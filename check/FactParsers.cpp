#include "check/FactParsers.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

#include "base/Ffprobe.h"
#include "base/Text.h"
#include "inspect/TextPieces.h"

namespace quillet {
namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The whole number after `key` in the line, 0 when there is none.
int NumberAfter(const std::string& line, const std::string& key) {
  const std::size_t at = line.find(key);
  if (at == std::string::npos) return 0;
  return std::atoi(line.c_str() + at + key.size());
}

// "High @L5.1" inside a line: the profile name before " @L" and the level after it.
bool ReadProfileAndLevel(const std::string& text, std::string& profile, int& level) {
  const std::size_t at = text.find(" @L");
  if (at == std::string::npos) return false;
  std::size_t start = text.rfind(": ", at);
  start = start == std::string::npos ? 0 : start + 2;
  profile = TrimBlanks(text.substr(start, at - start));
  int major = 0, minor = 0;
  if (std::sscanf(text.c_str() + at + 3, "%d.%d", &major, &minor) >= 1) level = major * 10 + minor;
  return true;
}

// The value of a report element line "|   + Channels: 6".
std::string ElementValue(const std::string& line, const std::string& name) {
  const std::size_t at = line.find("+ " + name + ": ");
  if (at == std::string::npos) return "";
  return TrimBlanks(line.substr(at + name.size() + 4));
}

}  // namespace

void ReadCheckerOutput(const std::string& text, VideoFacts& video) {
  for (const std::string& line : LinesOf(text)) {
    if (Contains(line, ": H.264 ")) {
      ReadProfileAndLevel(line.substr(line.find(": H.264 ") + 8), video.profile, video.level);
      int w = 0, h = 0;
      const std::size_t comma = line.find(", ");
      if (comma != std::string::npos &&
          std::sscanf(line.c_str() + comma + 2, "%dx%d", &w, &h) == 2) {
        video.width = w;
        video.height = h;
      }
      video.interlaced = Contains(line, "interlaced");
    } else if (StartsWith(line, "reference frames:")) {
      video.refFrames = NumberAfter(line, ":");
    } else if (StartsWith(line, "level 4.1 buffer:")) {
      video.dpbFrames = NumberAfter(line, ":");
    }
  }
  // The marker is what the conversion looks for; any other answer lets the stream pass.
  video.dpbChecked = Contains(text, "dpb check: [");
  video.dpbFits = !Contains(text, "dpb check: [FAILED]");
}

std::vector<ReportTrack> ScanReportTracks(const std::vector<std::string>& lines) {
  std::vector<ReportTrack> tracks;
  for (const std::string& line : lines) {
    if (Contains(line, "+ A track")) {
      tracks.emplace_back();
      continue;
    }
    if (tracks.empty()) continue;
    ReportTrack& t = tracks.back();
    if (Contains(line, "+ Track type: ")) t.type = ElementValue(line, "Track type");
    if (Contains(line, "+ Codec ID: ")) t.codecId = ElementValue(line, "Codec ID");
    if (Contains(line, "+ Channels: "))
      t.channels = std::atoi(ElementValue(line, "Channels").c_str());
    if (Contains(line, "+ Pixel width: "))
      t.width = std::atoi(ElementValue(line, "Pixel width").c_str());
    if (Contains(line, "+ Pixel height: "))
      t.height = std::atoi(ElementValue(line, "Pixel height").c_str());
    if (Contains(line, "+ Sampling frequency: "))
      t.sampleRate = static_cast<int>(std::atof(ElementValue(line, "Sampling frequency").c_str()));
    const std::size_t fps = line.find(" fps for a video track");
    if (fps != std::string::npos && t.type == "video") {
      const std::size_t open = line.rfind('(', fps);
      if (open != std::string::npos) t.fps = std::atof(line.c_str() + open + 1);
    }
    const std::size_t fourcc = line.find("FourCC: ");
    if (fourcc != std::string::npos) t.fourcc = line.substr(fourcc + 8, 4);
    // The codec record line names the H.264 profile and level ("h.264 profile: High @L5.1").
    const std::string lower = Lower(line);
    const std::size_t at = lower.find("h.264 profile: ");
    if (at != std::string::npos) ReadProfileAndLevel(line.substr(at + 6), t.profile, t.level);
  }
  return tracks;
}

namespace {

// The conversion's codec names ("avc", "mpeg2", "vc1") decide; other tracks are named
// by their codec id or, in VFW mode, their FourCC.
std::string VideoCodecOfReport(const TrackReport& report, const ReportTrack& track) {
  if (report.strVideoCodec == "avc") return "h264";
  if (report.strVideoCodec == "mpeg2") return "mpeg2";
  if (report.strVideoCodec == "vc1") return "vc1";
  if (track.codecId == "V_MS/VFW/FOURCC") return VideoCodecOfFourcc(track.fourcc);
  return VideoCodecOfCodecId(track.codecId);
}

}  // namespace

VideoFacts VideoOfReport(const std::vector<std::string>& lines, const TrackReport& report,
                         const std::string& fpsText) {
  VideoFacts v;
  for (const ReportTrack& t : ScanReportTracks(lines)) {
    if (t.type != "video") continue;
    v.present = true;
    v.codec = VideoCodecOfReport(report, t);
    v.vfw = report.bVFW;
    v.variableRate = report.bVariableRate;
    v.width = report.intPixelWidth > 0 ? report.intPixelWidth : t.width;
    v.height = report.intPixelHeight > 0 ? report.intPixelHeight : t.height;
    // The frame rate text the conversion reads stands at a fixed place of the line; a
    // rate written wider than "23.976" is not there, and the line says it plainly.
    char* end = nullptr;
    const double fps = std::strtod(fpsText.c_str(), &end);
    v.fps = fps > 0 && end && *end == '\0' ? fps : t.fps;
    v.profile = t.profile;
    v.level = t.level;
    break;
  }
  return v;
}

std::string VideoCodecOfCodecId(const std::string& id) {
  static const std::array<std::pair<const char*, const char*>, 10> kCodecs = {{
      {"V_MPEG4/ISO/AVC", "h264"},
      {"V_MPEGH/ISO/HEVC", "hevc"},
      {"V_MPEG4/ISO/", "mpeg4"},  // SP, ASP, AP
      {"V_MPEG2", "mpeg2"},
      {"V_MPEG1", "mpeg1"},
      {"V_MS/VFW/FOURCC", "vfw"},
      {"V_VP8", "vp8"},
      {"V_VP9", "vp9"},
      {"V_AV1", "av1"},
      {"V_THEORA", "theora"},
  }};
  for (const auto& [prefix, name] : kCodecs)
    if (StartsWith(id, prefix)) return name;
  return Lower(id);
}

std::string VideoCodecOfFourcc(const std::string& fourcc) {
  const std::string f = Lower(fourcc);
  if (f == "wvc1") return "vc1";
  if (f == "wmv3") return "wmv3";
  if (f == "xvid" || f == "divx" || f == "dx50" || f == "fmp4" || f == "mp4v") return "mpeg4";
  if (f == "div3" || f == "mp43") return "msmpeg4v3";
  if (f == "h264" || f == "avc1" || f == "x264") return "h264";
  return f;
}

std::string AudioCodecOfCodecId(const std::string& id) {
  // The conversion's own order of tests (its audio format codes) comes first.
  static const std::array<std::pair<const char*, const char*>, 11> kCodecs = {{
      {"A_AC3", "ac3"},
      {"DTS", "dts"},
      {"A_VORBIS", "vorbis"},
      {"A_MPEG/L3", "mp3"},
      {"A_AAC", "aac"},
      {"A_MPEG/L2", "mp2"},
      {"A_EAC3", "eac3"},
      {"A_TRUEHD", "truehd"},
      {"A_FLAC", "flac"},
      {"A_OPUS", "opus"},
      {"A_PCM", "pcm"},
  }};
  for (const auto& [piece, name] : kCodecs)
    if (Contains(id, piece)) return name;
  return Lower(id);
}

SubtitleFacts SubtitleOfCodecId(const std::string& id) {
  if (id == "S_TEXT/UTF8") return {"srt", false};
  if (id == "S_TEXT/SSA") return {"ssa", false};
  if (id == "S_TEXT/ASS") return {"ass", false};
  if (id == "S_VOBSUB") return {"vobsub", true};
  if (id == "S_HDMV/PGS") return {"pgs", true};
  if (id == "S_DVBSUB") return {"dvbsub", true};
  return {Lower(id), !StartsWith(id, "S_TEXT")};
}

void ReadProbeFlat(const std::string& text, MediaFacts& facts) {
  const ProbedFile probed = ParseProbeFlat(text);
  if (probed.duration > 0) facts.durationSeconds = probed.duration;
  for (const ProbedStream& s : probed.streams) {
    if (s.type == "video" && !facts.video.present) {
      VideoFacts& v = facts.video;
      v.present = true;
      v.codec = s.codec;
      v.profile = s.profile;
      v.level = s.level > 0 ? s.level : 0;
      v.width = s.width;
      v.height = s.height;
      v.fps = s.fps;
      v.interlaced = s.interlaced;
      v.bitrate = s.bitrate;
    } else if (s.type == "audio") {
      facts.audio.push_back({s.codec, s.channels, s.sampleRate});
    } else if (s.type == "subtitle") {
      const bool bitmap = s.codec == "dvd_subtitle" || s.codec == "hdmv_pgs_subtitle" ||
                          s.codec == "dvb_subtitle" || s.codec == "xsub";
      facts.subtitles.push_back({s.codec, bitmap});
    }
  }
  if (facts.video.present && facts.video.bitrate == 0 && probed.bitrate > 0) {
    facts.video.bitrate = probed.bitrate;
    facts.video.bitrateOverall = true;
  }
}

void ReadMpeg4Features(const std::string& text, VideoFacts& video) {
  const std::string answer = TrimBlanks(LinesOf(text).empty() ? "" : LinesOf(text)[0]);
  const std::size_t bar = answer.find('|');
  const std::string qpel = answer.substr(0, bar);
  const std::string gmc = bar == std::string::npos ? "" : answer.substr(bar + 1);
  video.qpel = qpel == "Yes";
  // GMC is given as its number of warp points; 0 or nothing means none.
  video.gmc = !gmc.empty() && gmc != "0" && gmc != "No";
}

}  // namespace quillet
