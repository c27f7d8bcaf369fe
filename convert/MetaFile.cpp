#include "convert/MetaFile.h"

#include <cctype>
#include <fstream>

#include "convert/Arithmetic.h"
#include "convert/PathNames.h"

namespace quillet::meta {
namespace {

// Text rendering of the muxer: white Arial of size 42 with a border, centred, 50 pixels
// above the bottom of a picture of the given size. The blank before the first comma is
// part of the muxer's line as the program has always written it.
std::string ArialStyle(const Picture& picture) {
  return std::string(" ,font-name=") + Q("Arial") +
         ",font-size=42,font-color=0x00FFFFFF,font-charset=1,bottom-offset=50,font-border=1,"
         "text-align=center,video-width=" +
         std::to_string(picture.width) + ",video-height=" + std::to_string(picture.height);
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string LanguageField(const std::string& language) {
  return language.empty() ? "" : ", lang=" + language;
}

}  // namespace

std::string M2tsOptions(const std::string& split) {
  return "MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5 " + split +
         " --vbv-len=500";
}

std::string AvchdOptions(const std::string& split) {
  return "MUXOPT --no-pcr-on-video-pid --insertBlankPL --new-audio-pes --blu-ray --vbr  "
         "--auto-chapters=5 --vbv-len=500" +
         split;
}

std::string Mpeg2Options() {
  return "MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr  --vbv-len=500";
}

std::string Vc1Options() {
  return "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr  --auto-chapters=5 "
         "--split-size=4GB --vbv-len=500";
}

std::string H264FromFolder(const std::string& folder, const std::string& fps) {
  return "V_MPEG4/ISO/AVC, " + Q(folder + work::kH264) + ", fps=" + fps;
}

std::string H264FromSource(const std::string& source, const std::string& track,
                           const std::string& fps) {
  // A video of varying rate has no one rate to give: the muxer keeps its frames' times.
  return "V_MPEG4/ISO/AVC, " + Q(source) + ", track=" + track + ", level=4.1" +
         (fps.empty() ? "" : ", fps=" + fps);
}

std::string Vc1FromSource(const std::string& source, const std::string& track,
                          const std::string& fps) {
  return "V_MS/VFW/WVC1, " + Q(source) + ", track=" + track + ", fps=" + fps;
}

std::string Mpeg2FromFolder(const std::string& folder, const std::string& fps) {
  return "V_MPEG-2, " + Q(folder + "movie.mpg") + ", fps=" + fps + ", track=224";
}

std::string Vc1FromFolder(const std::string& folder, const std::string& fps) {
  return "V_MS/VFW/WVC1, " + Q(folder + work::kVc1) + ", fps=" + fps;
}

std::string Ac3FromFolder(const std::string& folder, const std::string& language) {
  return "A_AC3, " + Q(folder + work::kAc3) + LanguageField(language);
}

std::string Ac3FromSource(const std::string& source, const std::string& track) {
  return "A_AC3, " + Q(source) + ", track=" + track;
}

std::string SourceAudio(const std::string& ext, const std::string& source,
                        const std::string& track) {
  return "A_" + Upper(ext) + ", " + Q(source) + ", track=" + track;
}

std::string SourceSubtitle(const std::string& source, const Picture& picture,
                           const std::string& track, const std::string& fps,
                           const std::string& language) {
  return "S_TEXT/UTF8, " + Q(source) + ArialStyle(picture) + ", track=" + track + ", fps=" + fps +
         ", lang=" + language;
}

std::string SrtBesideSource(const std::string& file, const Picture& picture, const std::string& fps,
                            const std::string& language) {
  return "S_TEXT/UTF8, " + Q(file) + ArialStyle(picture) + ", , fps=" + fps +
         LanguageField(language);
}

std::string BrowsedSubtitle(const std::string& file, const Picture& picture, const std::string& fps,
                            const std::string& language) {
  return "S_TEXT/UTF8, " + Q(file) + ArialStyle(picture) + ", fps=" + fps + LanguageField(language);
}

std::string Text(const Lines& lines) {
  std::string text = lines.options + "\r\n" + lines.video + "\r\n" + lines.audio + "\r\n";
  if (!lines.subtitle.empty()) text += lines.subtitle + "\r\n";
  return text;
}

bool Write(const std::string& folder, const Lines& lines) {
  std::ofstream out(folder + work::kMeta, std::ios::binary | std::ios::trunc);
  out << Text(lines);
  out.close();
  return !out.fail();
}

int64_t SplitMegabytes(int64_t bytes) {
  // bytes / 1,024,000 in ten-thousandths is bytes * 10 / 1024 = bytes * 5 / 512.
  const int64_t tenThousandths = RoundHalfEven(bytes * 5, 512);
  return RoundHalfEven(tenThousandths, 10000);
}

std::string SizeSplitOption(int64_t bytes) {
  const int64_t megabytes = SplitMegabytes(bytes);
  const int64_t parts = megabytes / 4000;
  if (parts <= 0) return "";
  return " --split-size=" + std::to_string(megabytes / (parts + 1)) + "MB ";
}

}  // namespace quillet::meta
