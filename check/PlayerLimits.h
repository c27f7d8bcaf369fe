#pragma once
// What each player accepts, in one table: every figure the pre-flight report judges a
// film by, each row with where the figure comes from.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

enum class Player { PS3, PS3Stereo, Xbox360, BluRay };

struct PlayerInfo {
  Player player;
  const char* id;    // "ps3", "ps3-stereo", "xbox360", "bluray": the --player names
  const char* name;  // for people
};
const std::vector<PlayerInfo>& Players();
const PlayerInfo& InfoOf(Player player);
// The player of a --player name; false for an unknown name.
bool PlayerOfId(const std::string& id, Player& player);

enum class Limit {
  Container,        // the file as it is: containers the player opens
  VideoCodec,       // allowed list
  H264Profile,      // allowed list
  H264Level,        // maximum level_idc
  FrameWidth,       // maximum
  FrameHeight,      // maximum
  FrameRate,        // maximum frames per second above 720 lines; twice that at 720 or less
  Interlaced,       // maximum 1: interlaced video is played, 0: not
  VideoBitrate,     // maximum bits per second the maker names (a warning, not a refusal)
  AudioCodec,       // allowed list
  AudioChannels,    // maximum
  SampleRate,       // allowed list
  FileSize,         // maximum bytes of one file (0: none)
  Mpeg4Features,    // maximum 1: QPel / GMC in MPEG-4 Part 2 video are played, 0: not
  TextSubtitles,    // maximum 1: text subtitle tracks are shown, 0: not
  BitmapSubtitles,  // maximum 1: bitmap subtitle tracks are shown, 0: not
  Structure,        // the rules of the transport stream and Blu-ray formats (no row: always)
};
// "container", "video-codec", ...: the names the JSON report uses.
const char* LimitId(Limit limit);

struct LimitRow {
  Player player;
  Limit limit;
  // The file kind the row holds for: "mkv", "mp4", "avi", "wmv", "mpg" (an MPEG program
  // stream), "m2ts" (a transport stream), "bdmv" (an AVCHD / Blu-ray folder), or "*" for
  // every kind.
  std::string_view scope;
  std::string_view allowed;  // comma list, for list limits
  int64_t maximum;           // for number limits
  std::string_view source;   // where the figure comes from
};
const std::vector<LimitRow>& PlayerLimitTable();

// The row for the player, limit and file kind: one of exactly that kind first, then
// one for every kind. Nothing when the player sets no such limit there.
const LimitRow* FindLimit(Player player, Limit limit, std::string_view scope);
// True when the comma list of the row holds `value` (any case).
bool Allows(const LimitRow& row, const std::string& value);

// The frame size a re-encode for the player gives a picture of width x height in a file
// of `scope`: the size itself when it is within the player's largest frame there, else
// scaled down to fit it with its shape kept, in even numbers.
struct FrameSize {
  int width = 0;
  int height = 0;
};
FrameSize FrameSizeWithin(int width, int height, Player player, std::string_view scope);

// How a BD-ROM folder carries progressive video of `height` lines at `fps` frames. BD-ROM
// defines 1080 lines progressive at 23.976 and 24 frames only, interlaced at 25 and
// 29.97; 720 lines progressive at 23.976, 24, 50 and 59.94. The muxer writes 1080p at 25
// or 29.97/30 as 1080i at that rate (progressive frames in an interlaced stream, as
// camcorders record 25p); 720 lines at 25 or 29.97/30 are re-encoded at twice the rate,
// each frame shown twice. A 1280-wide letterboxed picture counts as 720 lines: the
// re-encode pads it to them.
enum class BluRayRate { Defined, AsInterlaced, Doubled };
BluRayRate BluRayRateOf(int width, int height, double fps);

// The H.264 level table (Table A-1 of the H.264 standard): MaxBR, in units of
// cpbBrVclFactor bit/s (1000 for Baseline/Main: kbit/s), and the decoded picture buffer
// in macroblocks.
struct H264Level {
  int idc;
  int64_t maxBitrateKbps;
  int64_t maxDpbMbs;
};
const H264Level* FindH264Level(int idc);
// The level's maximum video bitrate for the profile in bit/s: the VCL limit, MaxBR x
// cpbBrVclFactor, which is 1000 for Baseline, Main and Extended and 1250 for High. A
// film's stated video bitrate counts its coded pictures (parameter sets and SEI are a
// negligible share), so it is judged by the VCL limit, the stricter one, not by the NAL
// limit (cpbBrNalFactor 1200 / 1500). Other High profiles (10, 4:2:2, 4:4:4), which no
// player here takes, are judged by High's factor.
int64_t MaxBitrateFor(int levelIdc, const std::string& profile);
// Frames the level 4.1 buffer holds at a frame size (1080 lines count as 1088), at most 16.
int Level41DpbFrames(int width, int height, bool interlaced);

}  // namespace quillet
