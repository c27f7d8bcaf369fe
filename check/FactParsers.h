#pragma once
// Reading the inspection tools' texts into facts. Each reader takes the text a tool
// printed and fills only what that text says; nothing here starts a tool.

#include <string>
#include <vector>

#include "check/MediaFacts.h"
#include "inspect/TrackReport.h"

namespace quillet {

// The buffer checker's lines ("track 1: H.264 High @L5.1, 1920x1080 (120x68 macroblocks,
// progressive)", "reference frames: 4", "level 4.1 buffer: 4 frames of 8160 macroblocks")
// and its verdict marker. Lines it does not print leave their fields as they were.
void ReadCheckerOutput(const std::string& text, VideoFacts& video);

// One track of the Matroska report, as far as the limits need it beyond the parser's
// tables: its type, codec id, channels, sample rate and the H.264 profile and level of
// the codec record line ("(h.264 profile: High @L5.1)").
struct ReportTrack {
  std::string type;  // "video", "audio", "subtitles", ...
  std::string codecId;
  std::string fourcc;  // of a track in VFW compatibility mode
  int channels = 0;
  int sampleRate = 0;
  int width = 0;
  int height = 0;
  double fps = 0;  // from "(23.976 fps for a video track)"
  std::string profile;
  int level = 0;
};
std::vector<ReportTrack> ScanReportTracks(const std::vector<std::string>& lines);

// The first video track of the Matroska report, as the conversion's parser read it into
// `report` (the frame size, its codec names, the frame-rate text `fpsText` it put in the
// window) and as the report's lines give it besides (codec id, profile, level). Not
// present when the report names no video track.
VideoFacts VideoOfReport(const std::vector<std::string>& lines, const TrackReport& report,
                         const std::string& fpsText);

// Short codec names for Matroska codec ids ("A_DTS" -> "dts", "S_VOBSUB" -> "vobsub").
std::string VideoCodecOfCodecId(const std::string& codecId);
std::string VideoCodecOfFourcc(const std::string& fourcc);
std::string AudioCodecOfCodecId(const std::string& codecId);
SubtitleFacts SubtitleOfCodecId(const std::string& codecId);

// ffprobe's "-of flat" output: streams and format (duration, size, bitrates).
void ReadProbeFlat(const std::string& text, MediaFacts& facts);

// mediainfo's "Video;%Format_Settings_QPel%|%Format_Settings_GMC%" answer: "Yes|3".
void ReadMpeg4Features(const std::string& text, VideoFacts& video);

}  // namespace quillet
