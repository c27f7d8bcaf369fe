#pragma once
// The transport-stream muxer's job file ("movie.meta"): a MUXOPT line with the global
// options, then one line per track: a codec id, the quoted source path and
// comma-separated fields.
//
//   MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr --split-size=3000MB --vbv-len=500
//   V_MPEG4/ISO/AVC, "D:\out\film.mkv", track=1, level=4.1, fps=23.976
//   A_AC3, "D:\out\movie.ac3"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::toolkit {

// Frame rates and ratios as the job lines and the slots' command lines write them.
struct Rational {
  long long num = 0, den = 1;
  bool operator==(const Rational& o) const { return num == o.num && den == o.den; }
};

// "23.976" -> 24000/1001 (the NTSC rates are snapped to their exact value), "25.000" ->
// 25/1, "24000/1001" as it is; nullopt for anything else.
std::optional<Rational> ParseFrameRate(const std::string& text);
// "1920:1440" or "4/3" -> 4/3 (reduced); nullopt when not two positive numbers.
std::optional<Rational> ParseRatio(const std::string& text);
Rational Reduce(Rational r);

enum class TrackCodec { H264, Vc1, Mpeg2Video, Ac3, Dts, Mp3, Mp2, Aac, TextSubtitle };

// The codec of a codec id ("V_MPEG4/ISO/AVC", "A_AC3", ...); nullopt for an unknown one.
std::optional<TrackCodec> CodecFromId(std::string_view id);
bool IsVideoCodec(TrackCodec codec);
bool IsAudioCodec(TrackCodec codec);

struct MuxTrack {
  std::string codecId;  // as written
  TrackCodec codec = TrackCodec::H264;
  std::string path;                          // as written, without its quotes
  std::optional<long long> track;            // track=
  std::string fps;                           // fps=, checked to be a frame rate
  int level = 0;                             // level=4.1 gives 41; 0 when not asked
  std::string language;                      // lang= as an ISO 639-2 code; empty when not given
  std::map<std::string, std::string> style;  // subtitle styling (font-name=, ...)
  int line = 0;                              // line number in the job file, from 1
};

struct MuxOptions {
  bool bluRay = false;               // --blu-ray: the output is a BD-ROM folder
  bool insertBlankPlaylist = false;  // --insertBlankPL
  int chapterMinutes = 0;            // --auto-chapters=N
  long long splitBytes = 0;          // --split-size=; 0: one file
};

struct MuxJob {
  MuxOptions options;
  std::vector<MuxTrack> tracks;
};

// Reads a job file's text (CR LF or LF; UTF-8, or the Windows code page when the text is
// not UTF-8, where a path that names a file as its bytes stand is kept as written).
// nullopt with a one-line reason naming the bad option, codec or field.
std::optional<MuxJob> ParseMuxJob(std::string_view text, std::string* error);

// "4300MB", "23GB", "4.3GB", "500KB" in bytes; the units are decimal (1 MB = 1,000,000
// bytes, 1 GB = 1,000,000,000), so "4GB" parts also fit a FAT32 volume. nullopt for
// anything else.
std::optional<long long> ParseSplitSize(std::string_view text);

// lang= as written by the program ("eng", "ger", "undefined") as an ISO 639-2 code;
// nullopt when it is none.
std::optional<std::string> NormalizeLanguage(std::string_view text);

}  // namespace quillet::toolkit
