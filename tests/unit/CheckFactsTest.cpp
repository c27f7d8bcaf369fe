// Gathering a film's facts: the tools' texts read into facts, and the Matroska road with
// the report tool and the buffer checker scripted: the same parser as the conversion,
// the report kept in a temporary folder that is gone afterwards, nothing written beside
// the film or in the output folder, no option of the window touched.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "check/FactParsers.h"
#include "check/GatherFacts.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kChecker1080 =
    "x264 checker: level 4.1 decoded picture buffer check\n"
    "file: /films/a.mkv\n"
    "track 1: H.264 High @L5.1, 1920x1080 (120x68 macroblocks, progressive)\n"
    "reference frames: 8\n"
    "level 4.1 buffer: 4 frames of 8160 macroblocks\n"
    "dpb check: [FAILED]\n";

TEST(CheckFactParsers, TheCheckerNamesProfileLevelSizeReferenceFramesAndItsMarker) {
  VideoFacts v;
  ReadCheckerOutput(kChecker1080, v);
  EXPECT_EQ(v.profile, "High");
  EXPECT_EQ(v.level, 51);
  EXPECT_EQ(v.width, 1920);
  EXPECT_EQ(v.height, 1080);
  EXPECT_FALSE(v.interlaced);
  EXPECT_EQ(v.refFrames, 8);
  EXPECT_EQ(v.dpbFrames, 4);
  EXPECT_TRUE(v.dpbChecked);
  EXPECT_FALSE(v.dpbFits);

  VideoFacts passes;
  ReadCheckerOutput(
      "track 2: H.264 Main @L4.0, 720x576 (45x36 macroblocks, interlaced)\r\n"
      "reference frames: 3\r\ndpb check: [OK]\r\n",
      passes);
  EXPECT_EQ(passes.profile, "Main");
  EXPECT_EQ(passes.level, 40);
  EXPECT_TRUE(passes.interlaced);
  EXPECT_TRUE(passes.dpbFits);
  EXPECT_EQ(passes.dpbFrames, -1) << "a line the checker did not print leaves its field";

  // A checker that cannot be started prints nothing: the conversion lets the stream pass.
  VideoFacts silent;
  ReadCheckerOutput("Failed to create process, check the path of the command line.", silent);
  EXPECT_FALSE(silent.dpbChecked);
  EXPECT_TRUE(silent.dpbFits);
}

TEST(CheckFactParsers, ReportTracksGiveChannelsRatesAndSubtitleKinds) {
  const std::vector<ReportTrack> tracks =
      ScanReportTracks(SplitLines(ReportFixture("multi_audio.txt")));
  ASSERT_EQ(tracks.size(), 15u);
  EXPECT_EQ(tracks[0].type, "video");
  EXPECT_EQ(tracks[0].profile, "Main");
  EXPECT_EQ(tracks[0].level, 31);
  EXPECT_EQ(tracks[0].width, 1280);
  EXPECT_DOUBLE_EQ(tracks[0].fps, 25.0);
  EXPECT_DOUBLE_EQ(tracks[1].fps, 0) << "an audio track's frame duration is no frame rate";
  EXPECT_EQ(tracks[1].codecId, "A_AAC/MPEG4/LC/SBR");
  EXPECT_EQ(tracks[1].sampleRate, 24000);
  EXPECT_EQ(tracks[2].channels, 6);
  EXPECT_EQ(tracks[7].sampleRate, 96000);

  struct Row {
    std::string id, audio;
  };
  const Row audio[] = {
      {"A_AC3", "ac3"},       {"A_DTS", "dts"},       {"A_AAC/MPEG4/LC/SBR", "aac"},
      {"A_VORBIS", "vorbis"}, {"A_MPEG/L3", "mp3"},   {"A_MPEG/L2", "mp2"},
      {"A_EAC3", "eac3"},     {"A_TRUEHD", "truehd"}, {"A_FLAC", "flac"}};
  for (const Row& r : audio) EXPECT_EQ(AudioCodecOfCodecId(r.id), r.audio) << r.id;

  struct Sub {
    std::string id, codec;
    bool bitmap;
  };
  const Sub subs[] = {{"S_TEXT/UTF8", "srt", false}, {"S_TEXT/SSA", "ssa", false},
                      {"S_TEXT/ASS", "ass", false},  {"S_VOBSUB", "vobsub", true},
                      {"S_HDMV/PGS", "pgs", true},   {"S_TEXT/WEBVTT", "s_text/webvtt", false}};
  for (const Sub& s : subs) {
    EXPECT_EQ(SubtitleOfCodecId(s.id).codec, s.codec);
    EXPECT_EQ(SubtitleOfCodecId(s.id).bitmap, s.bitmap) << s.id;
  }
}

TEST(CheckFactParsers, VideoCodecsByCodecIdAndFourcc) {
  EXPECT_EQ(VideoCodecOfCodecId("V_MPEG4/ISO/AVC"), "h264");
  EXPECT_EQ(VideoCodecOfCodecId("V_MPEG4/ISO/ASP"), "mpeg4");
  EXPECT_EQ(VideoCodecOfCodecId("V_MPEGH/ISO/HEVC"), "hevc");
  EXPECT_EQ(VideoCodecOfCodecId("V_MPEG2"), "mpeg2");
  EXPECT_EQ(VideoCodecOfFourcc("WVC1"), "vc1");
  EXPECT_EQ(VideoCodecOfFourcc("XVID"), "mpeg4");
  EXPECT_EQ(VideoCodecOfFourcc("DIV3"), "msmpeg4v3");
}

TEST(CheckFactParsers, FfprobeFlatGivesStreamsAndFallsBackToTheFilesBitrate) {
  MediaFacts f;
  ReadProbeFlat(
      "streams.stream.0.codec_name=\"wmv2\"\n"
      "streams.stream.0.codec_type=\"video\"\n"
      "streams.stream.0.width=320\n"
      "streams.stream.0.height=240\n"
      "streams.stream.0.field_order=\"tt\"\n"
      "streams.stream.0.avg_frame_rate=\"30000/1001\"\n"
      "streams.stream.0.bit_rate=\"N/A\"\n"
      "streams.stream.1.codec_name=\"wmav2\"\n"
      "streams.stream.1.codec_type=\"audio\"\n"
      "streams.stream.1.sample_rate=\"44100\"\n"
      "streams.stream.1.channels=2\n"
      "streams.stream.2.codec_name=\"dvd_subtitle\"\n"
      "streams.stream.2.codec_type=\"subtitle\"\n"
      "format.duration=\"12.500000\"\n"
      "format.bit_rate=\"812345\"\n",
      f);
  EXPECT_TRUE(f.video.present);
  EXPECT_EQ(f.video.codec, "wmv2");
  EXPECT_EQ(f.video.width, 320);
  EXPECT_NEAR(f.video.fps, 29.97, 0.01);
  EXPECT_TRUE(f.video.interlaced);
  EXPECT_EQ(f.video.bitrate, 812345);
  EXPECT_TRUE(f.video.bitrateOverall);
  ASSERT_EQ(f.audio.size(), 1u);
  EXPECT_EQ(f.audio[0].codec, "wmav2");
  EXPECT_EQ(f.audio[0].sampleRate, 44100);
  ASSERT_EQ(f.subtitles.size(), 1u);
  EXPECT_TRUE(f.subtitles[0].bitmap);
  EXPECT_DOUBLE_EQ(f.durationSeconds, 12.5);
}

TEST(CheckFactParsers, Mpeg4FeaturesFromMediainfo) {
  struct Row {
    std::string text;
    bool qpel, gmc;
  };
  const Row rows[] = {{"Yes|3\n", true, true}, {"No|0\n", false, false}, {"Yes|\n", true, false},
                      {"No|2", false, true},   {"", false, false},       {"|No", false, false}};
  for (const Row& r : rows) {
    VideoFacts v;
    ReadMpeg4Features(r.text, v);
    EXPECT_EQ(v.qpel, r.qpel) << r.text;
    EXPECT_EQ(v.gmc, r.gmc) << r.text;
  }
}

class CheckGather : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    setenv("TMPDIR", scratch.str().c_str(), 1);
    film = (films.path() / "A Film.mkv").string();
    WriteFile(film, "not really a film, the report tool is scripted");
  }
  void TearDown() override {
    if (tmp_.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", tmp_.c_str(), 1);
  }

  TestApp t;
  TempFolder films{"quillet-films"};
  TempFolder scratch{"quillet-tmpdir"};
  std::string film;

 private:
  std::string tmp_;
};

TEST_F(CheckGather, AMatroskaFilmIsReadWithTheConversionsParserAndTheChecker) {
  ScriptReportTool(t.runner, ReportFixture("h264_ac3.txt"));
  t.runner.Prints("x264_checker.exe", kChecker1080);
  t.form().txtS1.Text = "7";
  t.form().txtSFPS.Text = "29.970";

  const MediaFacts f = GatherMediaFacts(t.ctx, film);
  ASSERT_TRUE(f.readable) << f.problem;
  EXPECT_EQ(f.container, Container::Matroska);
  EXPECT_EQ(f.durationSeconds, 5423);
  EXPECT_EQ(f.video.codec, "h264");
  EXPECT_NEAR(f.video.fps, 23.976, 0.001);
  EXPECT_EQ(f.video.refFrames, 8);
  EXPECT_FALSE(f.video.dpbFits);
  ASSERT_EQ(f.audio.size(), 1u);
  EXPECT_EQ(f.audio[0].codec, "ac3");
  EXPECT_EQ(f.audio[0].channels, 6);
  EXPECT_EQ(f.audio[0].sampleRate, 48000);
  // Without mkvmerge's statistics the whole file's bitrate stands for the video's.
  EXPECT_TRUE(f.video.bitrateOverall);
  EXPECT_EQ(f.video.bitrate, f.sizeBytes * 8 / 5423);

  // The report went to a temporary folder of its own, now gone; the window was not touched.
  const std::vector<std::string> commands = t.runner.CommandLines();
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_NE(commands[0].find(" -o \"" + scratch.str() + "/quillet-check-"), std::string::npos)
      << commands[0];
  EXPECT_NE(commands[1].find("x264_checker.exe\" \"" + film + "\""), std::string::npos);
  EXPECT_TRUE(fs::is_empty(scratch.path()));
  EXPECT_TRUE(fs::is_empty(t.outputDir.path()));
  EXPECT_EQ(fs::directory_iterator(films.path())->path().filename(), "A Film.mkv");
  EXPECT_EQ(t.form().txtS1.Text, "7");
  EXPECT_EQ(t.form().txtSFPS.Text, "29.970");
  EXPECT_TRUE(t.DebugLogLines().empty());
}

TEST_F(CheckGather, TheVideoTracksStatisticsGiveItsBitrate) {
  ScriptReportTool(t.runner, ReportFixture("h264_ac3.txt"));
  t.runner.Prints("ffprobe",
                  "streams.stream.0.codec_type=\"video\"\n"
                  "streams.stream.0.tags.BPS=\"9876543\"\n");
  const MediaFacts f = GatherMediaFacts(t.ctx, film);
  EXPECT_EQ(f.video.bitrate, 9876543);
  EXPECT_FALSE(f.video.bitrateOverall);
}

TEST_F(CheckGather, AFrameRateWiderThanItsPlaceIsReadFromTheLine) {
  std::string report = ReportFixture("h264_ac3.txt");
  const std::string usual = "41.708ms (23.976 fps";
  report.replace(report.find(usual), usual.size(), "500.000ms (2.000 fps");
  ScriptReportTool(t.runner, report);
  EXPECT_DOUBLE_EQ(GatherMediaFacts(t.ctx, film).video.fps, 2.0);
}

TEST_F(CheckGather, Mpeg2AndVc1AreNamedAsTheConversionNamesThem) {
  ScriptReportTool(t.runner, ReportFixture("mpeg2.txt"));
  EXPECT_EQ(GatherMediaFacts(t.ctx, film).video.codec, "mpeg2");
  ScriptReportTool(t.runner, ReportFixture("vc1_compat.txt"));
  EXPECT_EQ(GatherMediaFacts(t.ctx, film).video.codec, "vc1");
  // Neither is H.264: the checker is not asked.
  for (const std::string& command : t.runner.CommandLines())
    EXPECT_EQ(command.find("x264_checker"), std::string::npos);
}

TEST_F(CheckGather, FilmsThatCannotBeReadSayWhy) {
  // No report tool: nothing is written, the film cannot be read.
  const MediaFacts noReport = GatherMediaFacts(t.ctx, film);
  EXPECT_FALSE(noReport.readable);
  EXPECT_EQ(noReport.problem, "the Matroska report tool wrote no report");

  const MediaFacts missing = GatherMediaFacts(t.ctx, (films.path() / "gone.mkv").string());
  EXPECT_FALSE(missing.readable);
  EXPECT_EQ(missing.problem, "no such file");

  const std::string text = (films.path() / "notes.txt").string();
  WriteFile(text, "x");
  EXPECT_EQ(GatherMediaFacts(t.ctx, text).problem, "not a Matroska, AVI, WMV or MP4 file");
  EXPECT_TRUE(fs::is_empty(scratch.path()));
}

TEST_F(CheckGather, OtherFilmsAreProbedAndAviFeaturesAskedOfMediainfo) {
  const std::string avi = (films.path() / "xvid.avi").string();
  WriteFile(avi, "x");
  t.runner.Prints("ffprobe",
                  "streams.stream.0.codec_type=\"video\"\nstreams.stream.0.codec_name=\"mpeg4\"\n"
                  "streams.stream.1.codec_type=\"audio\"\nstreams.stream.1.codec_name=\"mp3\"\n");
  t.runner.Prints("mediainfo", "Yes|0\n");
  const MediaFacts f = GatherMediaFacts(t.ctx, avi);
  ASSERT_TRUE(f.readable);
  EXPECT_TRUE(f.video.qpel);
  EXPECT_FALSE(f.video.gmc);
  const std::vector<std::string> commands = t.runner.CommandLines();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(
      commands[1],
      "mediainfo \"--Inform=Video;%Format_Settings_QPel%|%Format_Settings_GMC%\" \"" + avi + "\"");
}

}  // namespace
}  // namespace quillet::test
