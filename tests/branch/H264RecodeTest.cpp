// The H.264 re-encode: the encoder command per subtitle mode, the bitrate from the
// duration and the size target, the HQ second pass, and the audio around it.

#include <gtest/gtest.h>

#include "convert/Arithmetic.h"
#include "tests/support/ConvertScaffold.h"

namespace quillet::test {
namespace {

const std::string kOpts =
    ":threads=4:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:partitions=p8x8,b8x8,"
    "i8x8,i4x4:me=hex:me_range=12:subq=5:chroma_me:mixed_refs:trellis=1:weight_b:b_pyramid:nr=0";
const std::string kEncoder = R"("{app}/Mencoder/Mencoder.exe")";
const std::string kVideoOut =
    R"( -nosound -noskip -mc 0 -of rawvideo -o "{out}movie.h264" -ovc x264 -x264encopts bitrate=)";
const char* const kWavGrab = R"("{app}/TS/wavgrab.exe" "{src}" "{out}movie.wav")";
const char* const kAacFromWav51 =
    R"("{app}/FFMpeg/FFmpeg.exe" -f wav -i "{out}movie.wav" -acodec libfaac -ab 224kb "{out}movie.aac")";
const char* const kMp4Box =
    R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=23.976" "{out}Film.mp4"  -tmp "{tmp}")";

// The encoder without subtitles at the given bitrate text, 23.976 fps.
std::string PlainEncode(const std::string& bitrate) {
  return kEncoder + kVideoOut + bitrate + kOpts +
         R"( -ofps 31001/1293 -vf harddup "{src}" -mc 0 -noskip -sid 99)";
}

// An AC3 source of 4,000,000 kB and 5400 s re-encoded to H.264 for the PS3 (5.1).
struct RecodeRun : ConvertScaffold {
  explicit RecodeRun(int conv = 1) {
    MakeSource(4000000000);
    Inspected(kAudioAC3);
    ScriptStandardTools();
    form().chkMP2.SetValue(1);
    form().cmdConv.SetListIndex(conv);
  }
};

TEST(H264Recode, WithoutFitToTheSourceSizeGivesTheBitrate) {
  RecodeRun s;
  s.Convert();

  // 0.98 x (4000000 - 138240) x 10 / 5400 = 7008.4
  const auto expected = s.X({PlainEncode("7008"), kWavGrab, kAacFromWav51, kMp4Box});
  EXPECT_EQ(s.Commands(), expected);
  EXPECT_EQ(s.DebugLogLines(), (std::vector<std::string>{expected[0], expected[3]}));
  EXPECT_EQ(s.form().strH264Bitrate, "7008");
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
}

TEST(H264Recode, FitToUsesTheTargetSize) {
  struct Case {
    int size;
    const char* bitrate;
  };
  // DVD5: 0.99 x (34500000 - 138240) / 5400 = 6299.7; Blu-ray is capped.
  for (Case c : {Case{0, "6300"}, Case{2, "25000"}, Case{-1, "6300"}}) {
    RecodeRun s;
    s.form().chkDVD.SetValue(1);
    s.form().cmbSize.SetListIndex(c.size);
    s.Convert();
    ASSERT_FALSE(s.Commands().empty());
    EXPECT_EQ(s.Commands()[0], s.X(PlainEncode(c.bitrate))) << c.size;
  }
}

TEST(H264Recode, HqRunsTwoPassesWithoutBime) {
  RecodeRun s(3);
  s.form().strSubOpts = "-subfont-text-scale 3 -bime:x";
  s.form().chkSubs.SetValue(1);
  s.app.report.strSubTracks.Add({"eng", "srt", "3"});
  s.form().cmbSubs.Items = {"eng"};
  s.form().cmbSubs.SetListIndex(0);

  s.Convert();

  const std::string head =
      kEncoder + R"( -oac copy -font "{app}/Mencoder/font.ttf" -utf8 -subfont-text-scale 3 -x)" +
      kVideoOut;
  const std::string tail = kOpts + R"( -ofps 31001/1293 -vf  harddup "{src}" -mc 0 -noskip -sid 0)";
  const auto expected = s.X({head + "7008:pass=1:turbo=1" + tail, head + "7008:pass=2" + tail,
                             kWavGrab, kAacFromWav51, kMp4Box});
  EXPECT_EQ(s.Commands(), expected);
  EXPECT_EQ(s.DebugLogLines().front(), expected[1]);
  EXPECT_EQ(s.form().strH264Bitrate, "7008:pass=1:turbo=1");
}

TEST(H264Recode, SourceSubtitleIsChosenByItsListIndex) {
  RecodeRun s;
  s.form().chkSubs.SetValue(1);
  s.app.report.strSubTracks.Add({"eng", "srt", "3"});
  s.app.report.strSubTracks.Add({"fre", "ASS", "4"});
  s.form().cmbSubs.Items = {"eng", "fre"};
  s.form().cmbSubs.SetListIndex(1);

  s.Convert();

  ASSERT_FALSE(s.Commands().empty());
  EXPECT_EQ(
      s.Commands()[0],
      s.X(kEncoder +
          R"( -oac copy -font "{app}/Mencoder/font.ttf" -utf8 -subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4)" +
          kVideoOut + "7008" + kOpts +
          R"( -ofps 31001/1293 -vf  harddup "{src}" -mc 0 -noskip -sid 1)"));
}

// The subtitle-remuxed copy: its only subtitle track is the external file.
TEST(H264Recode, ExternalSubtitleOfTheRemuxedCopy) {
  RecodeRun s;
  s.form().bSRT = true;
  s.form().strSubBrowse = "/films/Film.srt";
  s.form().chkSubs.SetValue(1);

  s.Convert();

  ASSERT_FALSE(s.Commands().empty());
  EXPECT_EQ(
      s.Commands()[0],
      s.X(kEncoder +
          R"( -oac copy -font "{app}/Mencoder/font.ttf" -utf8 -subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4)" +
          kVideoOut + "7008" + kOpts +
          R"( -ofps 31001/1293 -vf harddup "{src}" -mc 0 -noskip -sid 0)"));
  EXPECT_EQ(s.app.conversionsStarted, 0);  // counted by the run that made the copy
}

TEST(H264Recode, FrameRateOfTheEncoderIsRestoredForTheMuxer) {
  RecodeRun s;
  s.form().txtSFPS.Text = "29.970";
  s.Convert();

  const auto commands = s.Commands();
  ASSERT_EQ(commands.size(), 4u);
  EXPECT_NE(commands[0].find(" -ofps 30000/1001 -vf harddup "), std::string::npos);
  EXPECT_NE(commands[3].find("movie.h264:fps=29.970\""), std::string::npos);
}

TEST(H264Recode, NoDurationGives8000AndATinySourceGives6000) {
  RecodeRun noDuration;
  noDuration.app.report.lngDuration = 0;
  noDuration.Convert();
  EXPECT_EQ(noDuration.Commands()[0], noDuration.X(PlainEncode("8000")));

  RecodeRun tiny;
  tiny.MakeSource(1000);
  tiny.Convert();
  EXPECT_EQ(tiny.Commands()[0], tiny.X(PlainEncode("6000")));
}

TEST(H264Recode, Ps3AacTrackIsExtractedAfterTheEncode) {
  RecodeRun s;
  s.form().SelectOption1(kAudioAAC);
  s.Convert();

  EXPECT_EQ(
      s.Commands(),
      s.X({PlainEncode("7008"),
           R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.aac")", kMp4Box}));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
}

// On the Xbox 360 the AAC track is decoded and re-encoded in stereo; the source's
// track must not be extracted over that result.
TEST(H264Recode, Xbox360AacKeepsItsStereoEncode) {
  RecodeRun s;
  s.form().SelectOption1(kAudioAAC);
  s.form().cmbPlatform.SetListIndex(1);
  s.Convert();

  EXPECT_EQ(
      s.Commands(),
      s.X({PlainEncode("7008"), kWavGrab,
           R"("{app}/FFMpeg/FFmpeg.exe" -f wav -i "{out}movie.wav" -acodec libfaac -ac 2 -ab 224kb "{out}movie.aac")",
           kMp4Box}));
}

TEST(H264Recode, StoredEncoderOptionsWithBimeAreReplaced) {
  RecodeRun s;
  s.form().strH264Opts = ":frameref=3:bime=1";
  s.Convert();
  EXPECT_EQ(s.form().strH264Opts, kOpts);

  RecodeRun kept;
  kept.form().strH264Opts = ":frameref=4";
  kept.form().strSubOpts = "-subfont-text-scale 2";
  kept.Convert();
  EXPECT_EQ(kept.Commands()[0],
            kept.X(kEncoder + kVideoOut + "7008:frameref=4" +
                   R"( -ofps 31001/1293 -vf harddup "{src}" -mc 0 -noskip -sid 99)"));
  EXPECT_EQ(kept.form().strSubOpts, "-subfont-text-scale 2");
}

struct BitrateCase {
  const char* name;
  BitrateInputs in;
  const char* expected;
};

const BitrateCase kBitrates[] = {
    {"SourceSize", {5400, 4000000, "ac3", false, false, false}, "7008"},
    {"FitTo", {5400, 34500000, "ac3", true, false, false}, "6300"},
    // With AVCHD or VOB output the "Fit to" formula is ten times larger.
    {"FitToVob", {5400, 5000000, "ac3", true, false, true}, "8533"},
    {"FitToAvchdCapped", {5400, 34500000, "ac3", true, true, false}, "25000"},
    {"AvchdDtsAudioAllowance", {5400, 4000000, "dts", false, true, false}, "5317"},
    {"AvchdCappedAt20000", {5400, 20000000, "dts", false, true, false}, "20000"},
    {"SourceSizeCapped", {5400, 200000000, "ac3", false, false, false}, "25000"},
    {"NoDuration", {0, 4000000, "ac3", false, false, false}, "8000"},
    {"FiveHundredStays", {98, 7509, "ac3", false, false, false}, "500"},
    {"BelowFiveHundred", {98, 7499, "ac3", false, false, false}, "6000"},
    {"AudioAboveTarget", {5400, 1000, "ac3", false, false, false}, "6000"},
    // 0.99 x 60050 / 99 = 600.5 and 0.99 x 60150 / 99 = 601.5: halves to even.
    {"HalfRoundsDownToEven", {99, 62584, "ac3", true, false, false}, "600"},
    {"HalfRoundsUpToEven", {99, 62684, "ac3", true, false, false}, "602"},
};

class Bitrate : public ::testing::TestWithParam<BitrateCase> {};

TEST_P(Bitrate, FollowsDurationTargetAndOutput) {
  EXPECT_EQ(H264BitrateText(GetParam().in), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, Bitrate, ::testing::ValuesIn(kBitrates),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EncoderFps, FromTheFrameRateText) {
  const std::pair<const char*, const char*> cases[] = {
      {"23.976", "31001/1293"}, {"29.970", "30000/1001"}, {"59.940", "60000/1001"},
      {"25.000", "25"},         {"50.000", "50"},         {"24.000", "24"}};
  for (const auto& [fps, expected] : cases) EXPECT_EQ(EncoderFpsText(fps), expected) << fps;
}

TEST(Arithmetic, ThousandsRoundHalvesToEven) {
  EXPECT_EQ(ThousandsRounded(9000000000), 9000000);
  EXPECT_EQ(ThousandsRounded(4189999499), 4189999);
  EXPECT_EQ(ThousandsRounded(4189999500), 4190000);
  EXPECT_EQ(ThousandsRounded(4190000500), 4190000);
  EXPECT_EQ(ThousandsRounded(4190001500), 4190002);
  EXPECT_EQ(RoundHalfEven(-5, 2), -2);
  EXPECT_EQ(RoundHalfEven(-7, 2), -4);
  EXPECT_EQ(RoundHalfEven(7, -2), -4);
}

}  // namespace
}  // namespace quillet::test
