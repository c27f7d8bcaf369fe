#include "check/PlayerLimits.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "base/Text.h"

namespace quillet {
namespace {

// Where the figures come from.
constexpr std::string_view kPs3Guide =
    "PS3 user's guide, video formats played from USB: MP4 (H.264/MPEG-4 AVC High Profile, "
    "AAC LC), AVI (DivX/Xvid), WMV (VC-1, WMA Standard V2), MPEG-2 PS/TS, AVCHD; no Matroska";
constexpr std::string_view kXboxFaq =
    "Xbox 360 video playback FAQ (December 2007): H.264 in MP4/MOV Baseline/Main/High up to "
    "level 4.1, 1920x1080 at 30 fps, 10 Mbit/s, 2-channel AAC LC; MPEG-4 Part 2 SP/ASP in AVI "
    "1280x720 at 30 fps, 5 Mbit/s, Dolby Digital 2.0/5.1 or MP3; WMV 7/8/9 and VC-1 "
    "1920x1080 at 30 fps, 15 Mbit/s";
constexpr std::string_view kBluRay =
    "BD-ROM and AVCHD formats: H.264 Main/High up to level 4.1, VC-1, MPEG-2; 1920x1080 at "
    "24p or 25i/30i, 720 lines up to 60p; at most 40 Mbit/s video; Dolby Digital, DTS or LPCM "
    "at 48 kHz; only PGS subtitles";
constexpr std::string_view kLevel41 =
    "H.264 standard, Table A-1: level 4.1 is what these players' decoders are certified for";
constexpr std::string_view kFat32 =
    "FAT32, the file system the consoles read from USB sticks and disks: 4 GiB - 1 byte a file";
constexpr std::string_view kQpelGmc =
    "MPEG-4 Part 2 quarter-pixel motion and global motion compensation: the consoles' "
    "decoders stutter or refuse them (the AVI check of this program repairs them)";
constexpr std::string_view kStereo = "the 'PS3  (2.0)' target: a PS3 on a stereo sound output";
constexpr std::string_view kNoSubtitles =
    "subtitle tracks inside MP4, AVI and WMV files are not shown by the console's player";

constexpr int64_t kFat32Max = 4294967295LL;

using L = Limit;
constexpr Player PS3 = Player::PS3;
constexpr Player ST = Player::PS3Stereo;
constexpr Player XB = Player::Xbox360;
constexpr Player BD = Player::BluRay;

// clang-format off
const std::vector<LimitRow> kTable = {
  // PS3, and the PS3 on a stereo output (the same console: only the channels differ)
  {PS3, L::Container,   "*",   "mp4,avi,wmv,m2ts,mpg,bdmv", 0, kPs3Guide},
  {PS3, L::VideoCodec,  "mp4", "h264,mpeg4", 0, kPs3Guide},
  {PS3, L::VideoCodec,  "avi", "mpeg4", 0, kPs3Guide},
  {PS3, L::VideoCodec,  "wmv", "vc1,wmv3", 0, "PS3 system software 2.10 and later: WMV9 / VC-1"},
  {PS3, L::VideoCodec,  "mpg", "mpeg2,mpeg1", 0, kPs3Guide},
  {PS3, L::VideoCodec,  "m2ts", "h264,mpeg2", 0, kPs3Guide},
  {PS3, L::VideoCodec,  "bdmv", "h264,vc1,mpeg2", 0, "PS3 plays AVCHD and BD folders as a Blu-ray player"},
  {PS3, L::H264Profile, "*",   "baseline,constrained baseline,main,high", 0, kPs3Guide},
  {PS3, L::H264Level,   "*",   "", 41, kLevel41},
  {PS3, L::FrameWidth,  "*",   "", 1920, kPs3Guide},
  {PS3, L::FrameHeight, "*",   "", 1080, kPs3Guide},
  {PS3, L::FrameRate,   "*",   "", 30, "1080 lines at up to 30 frames, 720 lines at up to 60 (the PS3's 1080i/720p output)"},
  {PS3, L::Interlaced,  "*",   "", 1, kPs3Guide},
  {PS3, L::AudioCodec,  "mp4", "aac", 0, kPs3Guide},
  {PS3, L::AudioCodec,  "avi", "mp3,ac3,mp2", 0, "PS3 user's guide: DivX/Xvid AVI with MP3 or Dolby Digital"},
  {PS3, L::AudioCodec,  "wmv", "wmav2", 0, kPs3Guide},
  {PS3, L::AudioCodec,  "mpg", "mp2,ac3,pcm,aac", 0, kPs3Guide},
  {PS3, L::AudioCodec,  "m2ts", "mp2,ac3,pcm,aac", 0, kPs3Guide},
  {PS3, L::AudioCodec,  "bdmv", "ac3,dts,pcm", 0, kBluRay},
  {PS3, L::AudioChannels, "*", "", 6, "PS3 audio output: Dolby Digital / AAC 5.1"},
  {PS3, L::SampleRate,  "*",   "32000,44100,48000", 0, kPs3Guide},
  {PS3, L::FileSize,    "*",   "", kFat32Max, kFat32},
  {PS3, L::FileSize,    "bdmv", "", 0, "an AVCHD / BD folder is burned to disc"},
  {PS3, L::Mpeg4Features, "*", "", 0, kQpelGmc},
  {PS3, L::TextSubtitles, "*", "", 0, kNoSubtitles},
  {PS3, L::BitmapSubtitles, "*", "", 0, kNoSubtitles},
  {PS3, L::BitmapSubtitles, "bdmv", "", 1, kBluRay},

  {ST, L::Container,   "*",   "mp4,avi,wmv,m2ts,mpg,bdmv", 0, kPs3Guide},
  {ST, L::VideoCodec,  "mp4", "h264,mpeg4", 0, kPs3Guide},
  {ST, L::VideoCodec,  "avi", "mpeg4", 0, kPs3Guide},
  {ST, L::VideoCodec,  "wmv", "vc1,wmv3", 0, "PS3 system software 2.10 and later: WMV9 / VC-1"},
  {ST, L::VideoCodec,  "mpg", "mpeg2,mpeg1", 0, kPs3Guide},
  {ST, L::VideoCodec,  "m2ts", "h264,mpeg2", 0, kPs3Guide},
  {ST, L::VideoCodec,  "bdmv", "h264,vc1,mpeg2", 0, "PS3 plays AVCHD and BD folders as a Blu-ray player"},
  {ST, L::H264Profile, "*",   "baseline,constrained baseline,main,high", 0, kPs3Guide},
  {ST, L::H264Level,   "*",   "", 41, kLevel41},
  {ST, L::FrameWidth,  "*",   "", 1920, kPs3Guide},
  {ST, L::FrameHeight, "*",   "", 1080, kPs3Guide},
  {ST, L::FrameRate,   "*",   "", 30, "1080 lines at up to 30 frames, 720 lines at up to 60 (the PS3's 1080i/720p output)"},
  {ST, L::Interlaced,  "*",   "", 1, kPs3Guide},
  {ST, L::AudioCodec,  "mp4", "aac", 0, kPs3Guide},
  {ST, L::AudioCodec,  "avi", "mp3,ac3,mp2", 0, "PS3 user's guide: DivX/Xvid AVI with MP3 or Dolby Digital"},
  {ST, L::AudioCodec,  "wmv", "wmav2", 0, kPs3Guide},
  {ST, L::AudioCodec,  "mpg", "mp2,ac3,pcm,aac", 0, kPs3Guide},
  {ST, L::AudioCodec,  "m2ts", "mp2,ac3,pcm,aac", 0, kPs3Guide},
  {ST, L::AudioCodec,  "bdmv", "ac3,dts,pcm", 0, kBluRay},
  {ST, L::AudioChannels, "*", "", 2, kStereo},
  {ST, L::SampleRate,  "*",   "32000,44100,48000", 0, kPs3Guide},
  {ST, L::FileSize,    "*",   "", kFat32Max, kFat32},
  {ST, L::FileSize,    "bdmv", "", 0, "an AVCHD / BD folder is burned to disc"},
  {ST, L::Mpeg4Features, "*", "", 0, kQpelGmc},
  {ST, L::TextSubtitles, "*", "", 0, kNoSubtitles},
  {ST, L::BitmapSubtitles, "*", "", 0, kNoSubtitles},
  {ST, L::BitmapSubtitles, "bdmv", "", 1, kBluRay},

  // Xbox 360
  {XB, L::Container,   "*",   "mp4,avi,wmv", 0, kXboxFaq},
  {XB, L::VideoCodec,  "mp4", "h264,mpeg4", 0, kXboxFaq},
  {XB, L::VideoCodec,  "avi", "mpeg4", 0, kXboxFaq},
  {XB, L::VideoCodec,  "wmv", "wmv1,wmv2,wmv3,vc1", 0, kXboxFaq},
  {XB, L::H264Profile, "*",   "baseline,constrained baseline,main,high", 0, kXboxFaq},
  {XB, L::H264Level,   "*",   "", 41, kXboxFaq},
  {XB, L::FrameWidth,  "*",   "", 1920, kXboxFaq},
  {XB, L::FrameWidth,  "avi", "", 1280, kXboxFaq},
  {XB, L::FrameHeight, "*",   "", 1080, kXboxFaq},
  {XB, L::FrameHeight, "avi", "", 720, kXboxFaq},
  {XB, L::FrameRate,   "*",   "", 30, kXboxFaq},
  {XB, L::Interlaced,  "mp4", "", 0, "Xbox 360 dashboard player: progressive H.264 only (interlaced streams show artefacts)"},
  {XB, L::Interlaced,  "*",   "", 1, kXboxFaq},
  {XB, L::VideoBitrate, "mp4", "", 10000000, kXboxFaq},
  {XB, L::VideoBitrate, "avi", "", 5000000, kXboxFaq},
  {XB, L::VideoBitrate, "wmv", "", 15000000, kXboxFaq},
  {XB, L::AudioCodec,  "mp4", "aac", 0, kXboxFaq},
  {XB, L::AudioCodec,  "avi", "ac3,mp3", 0, kXboxFaq},
  {XB, L::AudioCodec,  "wmv", "wmav1,wmav2,wmapro", 0, kXboxFaq},
  {XB, L::AudioChannels, "mp4", "", 2, kXboxFaq},
  {XB, L::AudioChannels, "*", "", 6, kXboxFaq},
  {XB, L::SampleRate,  "*",   "32000,44100,48000", 0, "Xbox 360 audio: 48 kHz output"},
  {XB, L::FileSize,    "*",   "", kFat32Max, kFat32},
  {XB, L::Mpeg4Features, "*", "", 0, kQpelGmc},
  {XB, L::TextSubtitles, "*", "", 0, kNoSubtitles},
  {XB, L::BitmapSubtitles, "*", "", 0, kNoSubtitles},

  // Blu-ray players: an AVCHD or BD folder, never one of these files as it is
  {BD, L::Container,   "*",   "", 0, "a Blu-ray player plays BD and AVCHD folders (BDMV), not MKV, MP4, AVI or WMV files"},
  {BD, L::Container,   "bdmv", "bdmv", 0, kBluRay},
  {BD, L::VideoCodec,  "*",   "h264,vc1,mpeg2", 0, kBluRay},
  {BD, L::H264Profile, "*",   "main,high", 0, kBluRay},
  {BD, L::H264Level,   "*",   "", 41, kBluRay},
  {BD, L::FrameWidth,  "*",   "", 1920, kBluRay},
  {BD, L::FrameHeight, "*",   "", 1080, kBluRay},
  {BD, L::FrameRate,   "*",   "", 30, kBluRay},
  {BD, L::Interlaced,  "*",   "", 1, kBluRay},
  {BD, L::VideoBitrate, "*",  "", 40000000, kBluRay},
  {BD, L::AudioCodec,  "*",   "ac3,dts,pcm", 0, kBluRay},
  {BD, L::AudioChannels, "*", "", 6, kBluRay},
  {BD, L::SampleRate,  "*",   "48000", 0, kBluRay},
  {BD, L::FileSize,    "*",   "", 0, "a BD / AVCHD folder is burned to disc"},
  {BD, L::TextSubtitles, "*", "", 0, kBluRay},
  {BD, L::BitmapSubtitles, "*", "", 1, kBluRay},
};
// clang-format on

const std::vector<PlayerInfo> kPlayers = {
    {Player::PS3, "ps3", "PS3"},
    {Player::PS3Stereo, "ps3-stereo", "PS3 stereo"},
    {Player::Xbox360, "xbox360", "Xbox 360"},
    {Player::BluRay, "bluray", "Blu-ray/AVCHD"},
};

// Table A-1: MaxBR (in cpbBrVclFactor bit/s) and MaxDpbMbs.
const std::vector<H264Level> kLevels = {
    {10, 64, 396},      {11, 192, 900},       {12, 384, 2376},      {13, 768, 2376},
    {20, 2000, 2376},   {21, 4000, 4752},     {22, 4000, 8100},     {30, 10000, 8100},
    {31, 14000, 18000}, {32, 20000, 20480},   {40, 20000, 32768},   {41, 50000, 32768},
    {42, 50000, 34816}, {50, 135000, 110400}, {51, 240000, 184320}, {52, 240000, 184320},
};

}  // namespace

const std::vector<PlayerInfo>& Players() {
  return kPlayers;
}

const PlayerInfo& InfoOf(Player player) {
  for (const PlayerInfo& info : kPlayers)
    if (info.player == player) return info;
  return kPlayers.front();
}

bool PlayerOfId(const std::string& id, Player& player) {
  for (const PlayerInfo& info : kPlayers) {
    if (id != info.id) continue;
    player = info.player;
    return true;
  }
  return false;
}

const char* LimitId(Limit limit) {
  switch (limit) {
    case Limit::Container:
      return "container";
    case Limit::VideoCodec:
      return "video-codec";
    case Limit::H264Profile:
      return "profile";
    case Limit::H264Level:
      return "level";
    case Limit::FrameWidth:
      return "frame-width";
    case Limit::FrameHeight:
      return "frame-height";
    case Limit::FrameRate:
      return "frame-rate";
    case Limit::Interlaced:
      return "interlacing";
    case Limit::VideoBitrate:
      return "video-bitrate";
    case Limit::AudioCodec:
      return "audio-codec";
    case Limit::AudioChannels:
      return "audio-channels";
    case Limit::SampleRate:
      return "sample-rate";
    case Limit::FileSize:
      return "file-size";
    case Limit::Mpeg4Features:
      return "qpel-gmc";
    case Limit::TextSubtitles:
      return "text-subtitles";
    case Limit::BitmapSubtitles:
      return "bitmap-subtitles";
    case Limit::Structure:
      return "structure";
  }
  return "";
}

const std::vector<LimitRow>& PlayerLimitTable() {
  return kTable;
}

const LimitRow* FindLimit(Player player, Limit limit, std::string_view scope) {
  const LimitRow* general = nullptr;
  for (const LimitRow& row : kTable) {
    if (row.player != player || row.limit != limit) continue;
    if (row.scope == scope) return &row;
    if (row.scope == "*" && !general) general = &row;
  }
  return general;
}

bool Allows(const LimitRow& row, const std::string& value) {
  const std::string wanted = Lower(value);
  std::string_view rest = row.allowed;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    if (Lower(rest.substr(0, comma)) == wanted) return true;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return false;
}

FrameSize FrameSizeWithin(int width, int height, Player player, std::string_view scope) {
  const LimitRow* most = FindLimit(player, Limit::FrameWidth, scope);
  const LimitRow* tallest = FindLimit(player, Limit::FrameHeight, scope);
  if (width <= 0 || height <= 0) return {width, height};
  double scale = 1;
  if (most && width > most->maximum) scale = static_cast<double>(most->maximum) / width;
  if (tallest && height * scale > tallest->maximum)
    scale = static_cast<double>(tallest->maximum) / height;
  if (scale == 1) return {width, height};
  // Rounded down to even numbers: the encoder's 4:2:0 picture has whole chroma samples.
  const auto even = [scale](int size) { return static_cast<int>(size * scale / 2) * 2; };
  return {even(width), even(height)};
}

BluRayRate BluRayRateOf(int width, int height, double fps) {
  const auto at = [fps](double rate) { return std::abs(fps - rate) < 0.01; };
  const bool pal = at(25), ntsc = at(30000.0 / 1001) || at(30);
  if (!pal && !ntsc) return BluRayRate::Defined;
  if (height == 720 || (width == 1280 && height > 0 && height < 720)) return BluRayRate::Doubled;
  return height > 720 ? BluRayRate::AsInterlaced : BluRayRate::Defined;
}

const H264Level* FindH264Level(int idc) {
  for (const H264Level& level : kLevels)
    if (level.idc == idc) return &level;
  return nullptr;
}

int64_t MaxBitrateFor(int levelIdc, const std::string& profile) {
  const H264Level* level = FindH264Level(levelIdc);
  if (!level) return 0;
  const bool high = Lower(profile).rfind("high", 0) == 0;
  return level->maxBitrateKbps * (high ? 1250 : 1000);
}

int Level41DpbFrames(int width, int height, bool interlaced) {
  const int widthMbs = (width + 15) / 16;
  // Interlaced frames are coded as pairs of fields of whole macroblock rows each.
  const int heightMbs = interlaced ? 2 * ((height + 31) / 32) : (height + 15) / 16;
  const int frameMbs = widthMbs * heightMbs;
  if (frameMbs <= 0) return 0;
  return static_cast<int>(std::min<int64_t>(FindH264Level(41)->maxDpbMbs / frameMbs, 16));
}

}  // namespace quillet
