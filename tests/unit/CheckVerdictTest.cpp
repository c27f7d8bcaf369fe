// The rules of the pre-flight report on hand-made facts: for each film and player the
// verdict, the limits named as reasons, and the conversion offered.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "check/CheckReport.h"
#include "check/PlayerLimits.h"
#include "check/Verdict.h"

namespace quillet::test {
namespace {

constexpr int64_t kGiB = 1024LL * 1024 * 1024;

MediaFacts Film(Container container, const std::string& videoCodec, const std::string& audioCodec,
                int channels = 2) {
  MediaFacts f;
  f.path = "film";
  f.container = container;
  f.readable = true;
  f.sizeBytes = 700LL * 1024 * 1024;
  f.durationSeconds = 5400;
  f.video.present = true;
  f.video.codec = videoCodec;
  f.video.width = 1280;
  f.video.height = 720;
  f.video.fps = 23.976;
  if (videoCodec == "h264") {
    f.video.profile = "High";
    f.video.level = 41;
    f.video.dpbChecked = true;
    f.video.refFrames = 4;
    f.video.dpbFrames = 9;
  }
  f.video.bitrate = 4000000;
  f.audio.push_back({audioCodec, channels, 48000});
  return f;
}

// A 1080p H.264 film of the given level and reference frames, as the checker sees it.
MediaFacts H264Film(Container container, int level, int refFrames, const std::string& audio,
                    int channels) {
  MediaFacts f = Film(container, "h264", audio, channels);
  f.video.width = 1920;
  f.video.height = 1080;
  f.video.level = level;
  f.video.refFrames = refFrames;
  f.video.dpbFrames = 4;
  f.video.dpbFits = refFrames <= 4;
  return f;
}

template <typename Change>
MediaFacts With(MediaFacts f, Change change) {
  change(f);
  return f;
}

struct Case {
  std::string label;
  MediaFacts facts;
  Player player;
  VerdictKind kind;
  std::vector<std::string> limits;  // the reasons' limits, in order
  std::string output;               // the conversion offered, "" for none
  std::vector<std::string> notes;   // the notes' limits
};

std::vector<std::string> LimitsOf(const std::vector<Reason>& reasons) {
  std::vector<std::string> ids;
  for (const Reason& r : reasons) ids.push_back(LimitId(r.limit));
  return ids;
}

constexpr Player PS3 = Player::PS3, ST = Player::PS3Stereo, XB = Player::Xbox360,
                 BD = Player::BluRay;
constexpr VerdictKind kPlays = VerdictKind::PlaysAsIs, kRemux = VerdictKind::Remux,
                      kPatch = VerdictKind::LevelPatch, kEncode = VerdictKind::ReEncode;
constexpr Container kMkv = Container::Matroska, kMp4 = Container::Mp4, kAvi = Container::Avi,
                    kWmv = Container::Wmv;

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      // H.264 High 5.1 that keeps within level 4.1: only the level byte is wrong.
      {"Level51FourRefsPs3",
       H264Film(kMkv, 51, 4, "ac3", 6),
       PS3,
       kPatch,
       {"container", "level", "audio-codec"},
       "MP4",
       {}},
      {"Level51FourRefsXbox",
       H264Film(kMkv, 51, 4, "ac3", 6),
       XB,
       kPatch,
       {"container", "level", "audio-codec", "audio-channels"},
       "MP4",
       {}},
      {"Level51FourRefsBluRay",
       H264Film(kMkv, 51, 4, "ac3", 6),
       BD,
       kPatch,
       {"container", "level"},
       "AVCHD folder",
       {}},
      // The MP4 road rewrites level 5.1 only; the AVCHD road any level.
      {"Level50Ps3",
       H264Film(kMkv, 50, 4, "aac", 2),
       PS3,
       kEncode,
       {"container", "level"},
       "MP4",
       {}},
      {"Level52BluRay",
       H264Film(kMkv, 52, 4, "ac3", 6),
       BD,
       kPatch,
       {"container", "level"},
       "AVCHD folder",
       {}},
      {"Level42Mp4Xbox", H264Film(kMp4, 42, 4, "aac", 2), XB, kEncode, {"level"}, "MP4", {}},
      // Eight reference frames overflow the level 4.1 buffer at 1080 lines.
      {"EightRefsPs3",
       H264Film(kMkv, 51, 8, "ac3", 6),
       PS3,
       kEncode,
       {"container", "level", "level", "audio-codec"},
       "MP4",
       {}},
      {"EightRefsBluRay",
       H264Film(kMkv, 51, 8, "ac3", 6),
       BD,
       kEncode,
       {"container", "level", "level"},
       "AVCHD folder",
       {}},
      // An MP4 the consoles take as it is, but no Blu-ray player.
      {"Mp4AacStereoPs3", Film(kMp4, "h264", "aac"), PS3, kPlays, {}, "", {}},
      {"Mp4AacStereoXbox", Film(kMp4, "h264", "aac"), XB, kPlays, {}, "", {}},
      {"Mp4AacStereoBluRay",
       Film(kMp4, "h264", "aac"),
       BD,
       kRemux,
       {"container", "audio-codec"},
       "AVCHD folder",
       {}},
      // AAC 5.1 plays on a PS3, not in an Xbox 360 MP4 nor on a stereo PS3.
      {"Mp4Aac51Ps3", Film(kMp4, "h264", "aac", 6), PS3, kPlays, {}, "", {}},
      {"Mp4Aac51Xbox", Film(kMp4, "h264", "aac", 6), XB, kRemux, {"audio-channels"}, "MP4", {}},
      {"Mp4Aac51Stereo", Film(kMp4, "h264", "aac", 6), ST, kRemux, {"audio-channels"}, "MP4", {}},
      // DTS: no MP4 carries it, the MP4 road makes AAC of it.
      {"DtsMkvPs3",
       Film(kMkv, "h264", "dts", 6),
       PS3,
       kRemux,
       {"container", "audio-codec"},
       "MP4",
       {}},
      {"DtsMkvBluRay", Film(kMkv, "h264", "dts", 6), BD, kRemux, {"container"}, "AVCHD folder", {}},
      // MPEG-2 in Matroska is repacked, whatever the options.
      {"Mpeg2MkvPs3",
       Film(kMkv, "mpeg2", "ac3", 6),
       PS3,
       kRemux,
       {"container"},
       "MPEG-2 file (.mpg)",
       {}},
      {"Mpeg2MkvXbox",
       Film(kMkv, "mpeg2", "ac3", 6),
       XB,
       kEncode,
       {"container", "video-codec", "audio-codec", "audio-channels"},
       "",
       {"container"}},
      {"Mpeg2MkvBluRay",
       Film(kMkv, "mpeg2", "ac3", 6),
       BD,
       kRemux,
       {"container"},
       "",
       {"container"}},
      // VC-1 in Matroska takes the VC-1 road to an AVCHD folder.
      {"Vc1MkvPs3",
       Film(kMkv, "vc1", "ac3", 6),
       PS3,
       kRemux,
       {"container"},
       "AVCHD folder (the VC-1 road)",
       {}},
      {"Vc1MkvXbox",
       Film(kMkv, "vc1", "ac3", 2),
       XB,
       kEncode,
       {"container", "video-codec", "audio-codec", "video-codec"},
       "MP4",
       {}},
      // Over 4 GiB: no FAT32 stick holds it; the conversion cuts Matroska sources.
      {"BigMkvPs3",
       With(Film(kMkv, "h264", "aac"), [](MediaFacts& f) { f.sizeBytes = 4.5 * kGiB; }),
       PS3,
       kRemux,
       {"container", "file-size"},
       "MP4",
       {}},
      {"BigMkvBluRay",
       With(Film(kMkv, "h264", "ac3"), [](MediaFacts& f) { f.sizeBytes = 4.5 * kGiB; }),
       BD,
       kRemux,
       {"container"},
       "AVCHD folder",
       {}},
      {"BigMp4Xbox",
       With(Film(kMp4, "h264", "aac"), [](MediaFacts& f) { f.sizeBytes = 4 * kGiB; }),
       XB,
       kRemux,
       {"file-size"},
       "MP4",
       {}},
      {"JustUnder4GiBMp4",
       With(Film(kMp4, "h264", "aac"), [](MediaFacts& f) { f.sizeBytes = 4 * kGiB - 1; }),
       XB,
       kPlays,
       {},
       "",
       {}},
      // Subtitles are notes: the film plays, the subtitles do not show.
      {"SrtInMkvPs3",
       With(Film(kMkv, "h264", "aac"),
            [](MediaFacts& f) {
              f.subtitles.push_back({"srt", false});
            }),
       PS3,
       kRemux,
       {"container"},
       "MP4",
       {"text-subtitles"}},
      {"PgsInMkvBluRay",
       With(Film(kMkv, "h264", "ac3"),
            [](MediaFacts& f) {
              f.subtitles.push_back({"pgs", true});
            }),
       BD,
       kRemux,
       {"container"},
       "AVCHD folder",
       {}},
      {"MovTextInMp4",
       With(Film(kMp4, "h264", "aac"),
            [](MediaFacts& f) {
              f.subtitles.push_back({"mov_text", false});
            }),
       PS3,
       kPlays,
       {},
       "",
       {"text-subtitles"}},
      // Xvid AVI: QPel and GMC are re-encoded by the AVI repair.
      {"XvidQpelPs3",
       With(Film(kAvi, "mpeg4", "mp3"), [](MediaFacts& f) { f.video.qpel = true; }),
       PS3,
       kEncode,
       {"qpel-gmc"},
       "AVI (QL_ copy, the AVI check and repair)",
       {}},
      {"XvidGmcXbox",
       With(Film(kAvi, "mpeg4", "mp3"), [](MediaFacts& f) { f.video.gmc = true; }),
       XB,
       kEncode,
       {"qpel-gmc"},
       "AVI (QL_ copy, the AVI check and repair)",
       {}},
      {"XvidPlainXbox", Film(kAvi, "mpeg4", "mp3"), XB, kPlays, {}, "", {}},
      {"XvidDtsPs3",
       Film(kAvi, "mpeg4", "dts", 6),
       PS3,
       kRemux,
       {"audio-codec"},
       "AVI (QL_ copy, the AVI check and repair)",
       {}},
      {"XvidBluRay",
       Film(kAvi, "mpeg4", "mp3"),
       BD,
       kEncode,
       {"container", "video-codec", "audio-codec"},
       "",
       {"container"}},
      // WMV: WMV8 plays on the Xbox 360 only; VC-1 also on a PS3 and, as AVCHD, on Blu-ray.
      {"Wmv2Ps3", Film(kWmv, "wmv2", "wmav2"), PS3, kEncode, {"video-codec"}, "", {"container"}},
      {"Wmv2Xbox", Film(kWmv, "wmv2", "wmav2"), XB, kPlays, {}, "", {}},
      {"Vc1WmvPs3", Film(kWmv, "vc1", "wmav2"), PS3, kPlays, {}, "", {}},
      {"Vc1WmvBluRay",
       Film(kWmv, "vc1", "wmav2"),
       BD,
       kRemux,
       {"container", "audio-codec"},
       "AVCHD folder (the WMV road)",
       {}},
      // Limits of the picture.
      {"InterlacedXbox",
       With(Film(kMp4, "h264", "aac"), [](MediaFacts& f) { f.video.interlaced = true; }),
       XB,
       kEncode,
       {"interlacing"},
       "MP4",
       {}},
      {"InterlacedPs3",
       With(Film(kMp4, "h264", "aac"), [](MediaFacts& f) { f.video.interlaced = true; }),
       PS3,
       kPlays,
       {},
       "",
       {}},
      {"OverLevel41Bitrate",
       With(Film(kMp4, "h264", "aac"), [](MediaFacts& f) { f.video.bitrate = 70000000; }),
       PS3,
       kEncode,
       {"video-bitrate"},
       "MP4",
       {}},
      {"AtLevel41Bitrate",
       With(Film(kMp4, "h264", "aac"), [](MediaFacts& f) { f.video.bitrate = 62500000; }),
       PS3,
       kPlays,
       {},
       "",
       {}},
      {"XboxNamedBitrateIsANote",
       With(Film(kMp4, "h264", "aac"), [](MediaFacts& f) { f.video.bitrate = 12000000; }),
       XB,
       kPlays,
       {},
       "",
       {"video-bitrate"}},
      {"Fps60At1080",
       With(H264Film(kMp4, 41, 4, "aac", 2), [](MediaFacts& f) { f.video.fps = 59.94; }),
       PS3,
       kEncode,
       {"frame-rate"},
       "MP4",
       {}},
      {"Fps60At720",
       With(Film(kMp4, "h264", "aac"), [](MediaFacts& f) { f.video.fps = 59.94; }),
       PS3,
       kPlays,
       {},
       "",
       {}},
      {"UltraHd",
       With(Film(kMp4, "h264", "aac"),
            [](MediaFacts& f) {
              f.video.width = 3840;
              f.video.height = 2160;
            }),
       XB,
       kEncode,
       {"frame-width"},
       "MP4",
       {}},
      {"High10",
       With(Film(kMp4, "h264", "aac"), [](MediaFacts& f) { f.video.profile = "High 10"; }),
       PS3,
       kEncode,
       {"profile"},
       "MP4",
       {}},
      {"BaselineOnBluRay",
       With(Film(kMkv, "h264", "ac3"), [](MediaFacts& f) { f.video.profile = "Baseline"; }),
       BD,
       kEncode,
       {"container", "profile"},
       "AVCHD folder",
       {}},
      {"Audio96kBluRay",
       With(Film(kMkv, "h264", "ac3"), [](MediaFacts& f) { f.audio[0].sampleRate = 96000; }),
       BD,
       kRemux,
       {"container", "sample-rate"},
       "AVCHD folder",
       {}},
      {"Audio44kBluRay",
       With(Film(kMkv, "h264", "ac3"), [](MediaFacts& f) { f.audio[0].sampleRate = 44100; }),
       BD,
       kRemux,
       {"container", "sample-rate"},
       "AVCHD folder",
       {}},
      // Video the conversion does not copy out of Matroska is re-encoded.
      {"XvidInMkv",
       Film(kMkv, "mpeg4", "mp3"),
       PS3,
       kEncode,
       {"container", "audio-codec", "video-codec"},
       "MP4",
       {}},
  };
  return cases;
}

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.label;
}

class CheckVerdict : public ::testing::TestWithParam<Case> {};

TEST_P(CheckVerdict, NamesTheWorkTheReasonsAndTheConversion) {
  const Case& c = GetParam();
  const Verdict v = JudgeForPlayer(c.facts, c.player);
  EXPECT_EQ(VerdictKindId(v.kind), std::string(VerdictKindId(c.kind)));
  EXPECT_EQ(LimitsOf(v.reasons), c.limits);
  EXPECT_EQ(v.output, c.output);
  EXPECT_EQ(LimitsOf(v.notes), c.notes);
  // A film that needs work says why, and one that plays names no conversion.
  EXPECT_EQ(v.reasons.empty(), v.kind == VerdictKind::PlaysAsIs);
  if (v.kind == VerdictKind::PlaysAsIs) {
    EXPECT_TRUE(v.options.empty());
  }
  EXPECT_EQ(v.reencodeTo.empty(), v.kind != VerdictKind::ReEncode);
  for (const Reason& r : v.reasons) {
    EXPECT_FALSE(r.value.empty()) << r.text;
    EXPECT_FALSE(r.allowed.empty()) << r.text;
  }
}

INSTANTIATE_TEST_SUITE_P(Films, CheckVerdict, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.label; });

TEST(CheckVerdictDetail, TheLevelPatchNamesTheDeclaredLevelAndTheBufferNamesTheFrames) {
  const Verdict patch = JudgeForPlayer(H264Film(kMkv, 51, 4, "ac3", 6), PS3);
  const Reason& level = patch.reasons[1];
  EXPECT_EQ(level.value, "5.1");
  EXPECT_EQ(level.allowed, "4.1");

  const Verdict encode = JudgeForPlayer(H264Film(kMkv, 51, 8, "ac3", 6), PS3);
  EXPECT_EQ(encode.reasons[1].value, "8 reference frames");
  EXPECT_EQ(encode.reasons[1].allowed, "4 frames");
  EXPECT_EQ(encode.reencodeTo, "H.264");
  EXPECT_EQ(encode.options, (std::vector<std::string>{"Target: PS3 (5.1)", "MPEG2 Recode ticked",
                                                      "Re-encode to: H264"}));
}

TEST(CheckVerdictDetail, EachTargetNamesItsOwnWindowOptions) {
  const MediaFacts f = Film(kMkv, "h264", "ac3", 6);
  EXPECT_EQ(JudgeForPlayer(f, PS3).options, std::vector<std::string>{"Target: PS3 (5.1)"});
  EXPECT_EQ(JudgeForPlayer(f, ST).options, std::vector<std::string>{"Target: PS3  (2.0)"});
  EXPECT_EQ(JudgeForPlayer(f, XB).options, std::vector<std::string>{"Target: Xbox 360"});
  EXPECT_EQ(JudgeForPlayer(f, BD).options, std::vector<std::string>{"AVCHD (BR/PS3) ticked"});
}

TEST(CheckVerdictDetail, SplitIsOfferedFromTheConversionsOwnThreshold) {
  // The conversion cuts sources of 4,190,000 thousand bytes and more into equal parts.
  const auto optionsAt = [](int64_t bytes) {
    return JudgeForPlayer(
               With(Film(kMkv, "h264", "aac"), [&](MediaFacts& f) { f.sizeBytes = bytes; }), PS3)
        .options;
  };
  EXPECT_EQ(optionsAt(4189999999LL).size(), 1u);
  EXPECT_EQ(optionsAt(4190000000LL).back(), "Split > 4GB ? ticked (2 parts)");
  EXPECT_EQ(optionsAt(9000000000LL).back(), "Split > 4GB ? ticked (3 parts)");
}

TEST(CheckVerdictDetail, AnMp4NeedingWorkIsCopiedIntoMatroskaFirst) {
  const Verdict v = JudgeForPlayer(Film(kMp4, "h264", "aac", 6), XB);
  ASSERT_EQ(v.options.size(), 2u);
  EXPECT_NE(v.options[0].find("mkvmerge"), std::string::npos);
  EXPECT_EQ(v.options[1], "Target: Xbox 360");
}

TEST(CheckLimits, EveryPlayerHasEveryJudgedLimitAndEveryRowSaysWhereItComesFrom) {
  for (const LimitRow& row : PlayerLimitTable())
    EXPECT_FALSE(row.source.empty()) << LimitId(row.limit);
  const Limit judged[] = {Limit::Container,     Limit::VideoCodec, Limit::H264Profile,
                          Limit::H264Level,     Limit::FrameWidth, Limit::FrameHeight,
                          Limit::FrameRate,     Limit::Interlaced, Limit::AudioCodec,
                          Limit::AudioChannels, Limit::SampleRate, Limit::FileSize};
  for (const PlayerInfo& p : Players())
    for (Limit limit : judged)
      EXPECT_NE(FindLimit(p.player, limit, "mp4"), nullptr) << p.id << " " << LimitId(limit);
}

TEST(CheckLimits, TheLevel41BufferHoldsFramesByMacroblocks) {
  struct Row {
    int width, height;
    bool interlaced;
    int frames;
  };
  // 32768 macroblocks: 1080 lines count as 1088 (68 rows), at most 16 frames.
  const Row rows[] = {{1920, 1080, false, 4}, {1920, 1088, false, 4}, {1920, 1080, true, 4},
                      {1440, 1080, false, 5}, {1280, 720, false, 9},  {720, 576, false, 16},
                      {320, 240, false, 16},  {0, 0, false, 0}};
  for (const Row& r : rows)
    EXPECT_EQ(Level41DpbFrames(r.width, r.height, r.interlaced), r.frames)
        << r.width << "x" << r.height;
}

TEST(CheckLimits, LevelBitratesFollowTheProfile) {
  EXPECT_EQ(MaxBitrateFor(41, "High"), 62500000);
  EXPECT_EQ(MaxBitrateFor(41, "Main"), 60000000);
  EXPECT_EQ(MaxBitrateFor(51, "High"), 300000000);
  EXPECT_EQ(MaxBitrateFor(99, "High"), 0);
}

TEST(CheckLimits, UnknownRefFramesWithoutTheCheckerAreJudgedByTheFrameSize) {
  MediaFacts f = Film(kMp4, "h264", "aac");
  f.video.dpbChecked = false;
  f.video.refFrames = 10;  // 1280x720 holds 9
  EXPECT_EQ(JudgeForPlayer(f, PS3).kind, VerdictKind::ReEncode);
  f.video.refFrames = 9;
  EXPECT_EQ(JudgeForPlayer(f, PS3).kind, VerdictKind::PlaysAsIs);
}

TEST(CheckExitStatus, WorkBeatsPlayingAndAnUnreadableFilmBeatsBoth) {
  const std::vector<Player> all = {PS3, ST, XB, BD};
  const FileReport plays = JudgeFile(Film(kMp4, "h264", "aac"), {PS3, XB});
  const FileReport work = JudgeFile(Film(kMkv, "h264", "aac"), all);
  MediaFacts broken;
  broken.problem = "no such file";
  const FileReport unreadable = JudgeFile(broken, all);
  EXPECT_TRUE(unreadable.verdicts.empty());

  EXPECT_EQ(CheckExitStatus({all, {}}), 0);
  EXPECT_EQ(CheckExitStatus({{PS3, XB}, {plays}}), 0);
  EXPECT_EQ(CheckExitStatus({all, {plays, work}}), 1);
  EXPECT_EQ(CheckExitStatus({all, {work, unreadable, plays}}), 3);
}

}  // namespace
}  // namespace quillet::test
