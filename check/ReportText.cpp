#include "check/ReportText.h"

#include <cstdio>

namespace quillet {
namespace {

std::string LevelText(int idc) {
  return std::to_string(idc / 10) + "." + std::to_string(idc % 10);
}

std::string VideoLine(const VideoFacts& v) {
  std::string line = "  video: " + v.codec;
  if (!v.profile.empty()) line += " " + v.profile;
  if (v.level > 0) line += " @L" + LevelText(v.level);
  line += ", " + std::to_string(v.width) + "x" + std::to_string(v.height);
  if (v.fps > 0) {
    char fps[32];
    std::snprintf(fps, sizeof fps, ", %.3f fps", v.fps);
    line += fps;
  }
  line += v.interlaced ? ", interlaced" : ", progressive";
  if (v.refFrames >= 0) line += ", " + std::to_string(v.refFrames) + " reference frames";
  if (v.dpbFrames >= 0) line += " (level 4.1 buffer: " + std::to_string(v.dpbFrames) + ")";
  if (v.bitrate > 0)
    line +=
        ", " + std::to_string(v.bitrate / 1000) + " kbit/s" + (v.bitrateOverall ? " overall" : "");
  if (v.qpel) line += ", QPel";
  if (v.gmc) line += ", GMC";
  return line + "\n";
}

std::string FactsText(const MediaFacts& f) {
  std::string text = "  " + std::string(ContainerName(f.container)) + ", " +
                     std::to_string(f.sizeBytes) + " bytes, " +
                     std::to_string(static_cast<long long>(f.durationSeconds)) + " s\n";
  if (f.video.present) text += VideoLine(f.video);
  for (const AudioFacts& a : f.audio)
    text += "  audio: " + a.codec + ", " + std::to_string(a.channels) + " channels, " +
            std::to_string(a.sampleRate) + " Hz\n";
  for (const SubtitleFacts& s : f.subtitles)
    text += "  subtitles: " + s.codec + (s.bitmap ? " (bitmap)\n" : " (text)\n");
  return text;
}

}  // namespace

std::string VerdictHeadline(const Verdict& v) {
  switch (v.kind) {
    case VerdictKind::PlaysAsIs:
      return "plays as it is";
    case VerdictKind::Remux:
      return "needs a remux";
    case VerdictKind::LevelPatch:
      return "needs the level patch only";
    case VerdictKind::ReEncode:
      return "needs a re-encode to " + v.reencodeTo;
  }
  return "";
}

std::string VerdictText(const Verdict& v) {
  std::string text = std::string(InfoOf(v.player).name) + ": " + VerdictHeadline(v);
  if (!v.output.empty()) {
    text += ": " + v.output;
    if (!v.options.empty()) {
      text += " (";
      for (std::size_t i = 0; i < v.options.size(); ++i) text += (i ? "; " : "") + v.options[i];
      text += ")";
    }
  }
  text += "\n";
  for (const Reason& r : v.reasons) text += "  - " + r.text + "\n";
  for (const Reason& r : v.notes) text += "  note: " + r.text + "\n";
  return text;
}

std::string FileReportText(const FileReport& file) {
  const MediaFacts& f = file.facts;
  if (!f.readable) return f.path + ": cannot be read: " + f.problem + "\n";
  std::string text = f.path + "\n" + FactsText(f);
  for (const Verdict& v : file.verdicts) {
    std::string block = VerdictText(v);
    // Verdicts stand one level deeper than the file's facts.
    std::string indented;
    std::size_t start = 0;
    while (start < block.size()) {
      const std::size_t end = block.find('\n', start);
      indented += "  " + block.substr(start, end - start + 1);
      start = end + 1;
    }
    text += indented;
  }
  return text;
}

std::string ReportText(const CheckReport& report) {
  std::string text;
  for (const FileReport& file : report.files) text += FileReportText(file) + "\n";
  return text;
}

}  // namespace quillet
