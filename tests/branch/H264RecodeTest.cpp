// The H.264 re-encode: the encoder command per subtitle mode, the bitrate from the
// duration and the size target, the HQ second pass, and the audio around it.

#include <gtest/gtest.h>

#include <functional>

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
// The encoder's subtitle options for an embedded subtitle.
const std::string kSubtitles =
    R"( -oac copy -font "{app}/Mencoder/font.ttf" -utf8 -subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4)";

// The encoder without subtitles at the given bitrate text, 23.976 fps.
std::string PlainEncode(const std::string& bitrate) {
  return kEncoder + kVideoOut + bitrate + kOpts +
         R"( -ofps 31001/1293 -vf harddup "{src}" -mc 0 -noskip -sid 99)";
}

// The encoder's command lines, then the PS3 (5.1) audio from the WAV tool and the muxer.
std::vector<std::string> WithAc3Audio(std::vector<std::string> encoder) {
  encoder.insert(encoder.end(), {kWavGrab, kAacFromWav51, kMp4Box});
  return encoder;
}

// An AC3 source of 4,000,000 kB and 5400 s re-encoded to H.264 for the PS3 (5.1).
struct RecodeRun : ConvertScaffold {
  RecodeRun() {
    Ready();
    MakeSource(4000000000);
    form().chkMP2.SetValue(1);
    form().cmdConv.SetListIndex(1);
  }
  void FitTo(int size) {
    form().chkDVD.SetValue(1);
    form().cmbSize.SetListIndex(size);
  }
  // An embedded subtitle track of the source, chosen by its list entry.
  void ChooseSubtitle(int index) {
    app.report.strSubTracks.Add({"eng", "srt", "3"});
    app.report.strSubTracks.Add({"fre", "ASS", "4"});
    form().cmbSubs.Items = {"eng", "fre"};
    form().cmbSubs.SetListIndex(index);
    form().chkSubs.SetValue(1);
  }
};

struct RecodeCase {
  const char* name;
  std::function<void(RecodeRun&)> setup;
  std::vector<std::string> commands;
  std::function<void(const RecodeRun&)> after = [](const RecodeRun&) {};
};

// The HQ encoder's two passes, with the stored subtitle options but without "-bime".
std::string HqPass(const std::string& pass) {
  return kEncoder + R"( -oac copy -font "{app}/Mencoder/font.ttf" -utf8 -subfont-text-scale 3 -x)" +
         kVideoOut + "7008:pass=" + pass + kOpts +
         R"( -ofps 31001/1293 -vf  harddup "{src}" -mc 0 -noskip -sid 0)";
}

// clang-format off
const RecodeCase kRecodes[] = {
    // 0.98 x (4000000 - 138240) x 10 / 5400 = 7008.4
    {"WithoutFitToTheSourceSizeGivesTheBitrate", [](RecodeRun&) {},
     WithAc3Audio({PlainEncode("7008")}),
     [](const RecodeRun& s) { EXPECT_EQ(s.app.form.strH264Bitrate, "7008"); }},
    // DVD5: 0.99 x (34500000 - 138240) / 5400 = 6299.7; Blu-ray is capped; no size is DVD5.
    {"FitToDvd5", [](RecodeRun& s) { s.FitTo(0); }, WithAc3Audio({PlainEncode("6300")})},
    {"FitToBluRay", [](RecodeRun& s) { s.FitTo(2); }, WithAc3Audio({PlainEncode("25000")})},
    {"FitToWithoutASize", [](RecodeRun& s) { s.FitTo(-1); }, WithAc3Audio({PlainEncode("6300")})},
    {"NoDurationGives8000", [](RecodeRun& s) { s.app.report.lngDuration = 0; },
     WithAc3Audio({PlainEncode("8000")})},
    {"TinySourceGives6000", [](RecodeRun& s) { s.MakeSource(1000); },
     WithAc3Audio({PlainEncode("6000")})},
    {"HqRunsTwoPassesWithoutBime",
     [](RecodeRun& s) {
       s.form().cmdConv.SetListIndex(3);
       s.form().strSubOpts = "-subfont-text-scale 3 -bime:x";
       s.ChooseSubtitle(0);
     },
     WithAc3Audio({HqPass("1:turbo=1"), HqPass("2")}),
     [](const RecodeRun& s) { EXPECT_EQ(s.app.form.strH264Bitrate, "7008:pass=1:turbo=1"); }},
    {"SourceSubtitleIsChosenByItsListIndex", [](RecodeRun& s) { s.ChooseSubtitle(1); },
     WithAc3Audio({kEncoder + kSubtitles + kVideoOut + "7008" + kOpts +
                   R"( -ofps 31001/1293 -vf  harddup "{src}" -mc 0 -noskip -sid 1)"})},
    // The subtitle-remuxed copy: its only subtitle track is the external file. It is
    // counted by the run that made the copy.
    {"ExternalSubtitleOfTheRemuxedCopy",
     [](RecodeRun& s) {
       s.form().bSRT = true;
       s.form().strSubBrowse = "/films/Film.srt";
       s.form().chkSubs.SetValue(1);
     },
     WithAc3Audio({kEncoder + kSubtitles + kVideoOut + "7008" + kOpts +
                   R"( -ofps 31001/1293 -vf harddup "{src}" -mc 0 -noskip -sid 0)"}),
     [](const RecodeRun& s) { EXPECT_EQ(s.app.conversionsStarted, 0); }},
    // The encoder's rate is a fraction; the muxer gets the source's rate text again.
    {"FrameRateOfTheEncoderIsRestoredForTheMuxer",
     [](RecodeRun& s) { s.form().txtSFPS.Text = "29.970"; },
     {kEncoder + kVideoOut + "7008" + kOpts +
          R"( -ofps 30000/1001 -vf harddup "{src}" -mc 0 -noskip -sid 99)",
      kWavGrab, kAacFromWav51,
      R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=29.970" "{out}Film.mp4"  -tmp "{tmp}")"}},
    {"Ps3AacTrackIsExtractedAfterTheEncode",
     [](RecodeRun& s) { s.form().SelectOption1(kAudioAAC); },
     {PlainEncode("7008"), R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.aac")",
      kMp4Box}},
    // On the Xbox 360 the AAC track is decoded and re-encoded in stereo; the source's
    // track must not be extracted over that result.
    {"Xbox360AacKeepsItsStereoEncode",
     [](RecodeRun& s) { s.form().SelectOption1(kAudioAAC); s.form().cmbPlatform.SetListIndex(1); },
     {PlainEncode("7008"), kWavGrab, kAacFromWavStereo, kMp4Box}},
    // Stored encoder options with "bime" are replaced by the program's; others are kept.
    {"StoredEncoderOptionsWithBimeAreReplaced",
     [](RecodeRun& s) { s.form().strH264Opts = ":frameref=3:bime=1"; },
     WithAc3Audio({PlainEncode("7008")}),
     [](const RecodeRun& s) { EXPECT_EQ(s.app.form.strH264Opts, kOpts); }},
    {"StoredEncoderOptionsWithoutBimeAreKept",
     [](RecodeRun& s) {
       s.form().strH264Opts = ":frameref=4";
       s.form().strSubOpts = "-subfont-text-scale 2";
     },
     WithAc3Audio({kEncoder + kVideoOut + "7008:frameref=4" +
                   R"( -ofps 31001/1293 -vf harddup "{src}" -mc 0 -noskip -sid 99)"}),
     [](const RecodeRun& s) { EXPECT_EQ(s.app.form.strSubOpts, "-subfont-text-scale 2"); }},
};
// clang-format on

class H264Recode : public ::testing::TestWithParam<RecodeCase> {};

TEST_P(H264Recode, RunsTheEncoderThenTheAudioAndTheMuxer) {
  RecodeRun s;
  GetParam().setup(s);
  const int counted = s.form().bSRT ? 0 : 1;

  s.Convert();

  const std::vector<std::string> expected = s.X(GetParam().commands);
  EXPECT_EQ(s.Commands(), expected);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  // The debug log holds the encoder's last command line and the muxer's.
  const size_t lastPass = s.form().cmdConv.ListIndex == 3 ? 1 : 0;
  EXPECT_EQ(s.DebugLogLines(), (std::vector<std::string>{expected[lastPass], expected.back()}));
  EXPECT_EQ(s.app.conversionsStarted, counted);
  GetParam().after(s);
}

INSTANTIATE_TEST_SUITE_P(Cases, H264Recode, ::testing::ValuesIn(kRecodes),
                         [](const auto& info) { return std::string(info.param.name); });

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
