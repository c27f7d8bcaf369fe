// The MP4 road from extraction to the muxer, per audio format, target and kind of
// source: every command line of a run, in order, with its exact text.

#include <gtest/gtest.h>

#include "tests/support/ConvertScaffold.h"

namespace quillet::test {
namespace {

const char* const kMp4Box25 =
    R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=25.000" "{out}Film.mp4"  -tmp "{tmp}")";
const char* const kExtractAvi =
    R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie.avi")";
const char* const kAviRaw = R"("{app}/MP4Box/MP4Box.exe" -aviraw video "{out}movie.avi")";
const char* const kStretch =
    R"("{app}/Sounds/soundstretch.exe" "{out}movie.wav" "{out}movie2.wav" -pitch=-1 )";

std::string ExtractVideoAnd(const std::string& ext) {
  return std::string(kExtractVideo) + R"( 2:"{out}movie.)" + ext + "\"";
}

// What a case sets beyond the target and the audio format.
enum Options {
  kSafeSync = 1,
  kNormalize = 2,
  kNero = 4,  // the Nero AAC encoder is in the program folder
  kWavToolFails = 8,
  kTo25Fps = 16,
  kAnamorphic = 32,
  kVfw = 64,  // the video is stored in VFW mode
};

struct RoadCase {
  const char* name;
  int platform;  // 0 PS3 (5.1), 1 Xbox 360, 2 PS3 (2.0)
  AudioType audio;
  int options;
  std::vector<std::string> commands;
  const char* fps = "23.976";  // the source's frame-rate text
};

const RoadCase kRoadCases[] = {
    {"Ps3SurroundAc3", 0, kAudioAC3, 0, {kExtractVideo, kWavGrab, kAacFromWav51, kMp4Box}},
    {"Xbox360AacIsDecodedToStereo",
     1,
     kAudioAAC,
     0,
     {kExtractVideo, kWavGrab, kAacFromWavStereo, kMp4Box}},
    {"Ps3AacPassesThrough", 0, kAudioAAC, 0, {ExtractVideoAnd("aac"), kMp4Box}},
    {"DtsOnStereoPs3", 2, kAudioDTS, 0, {kExtractVideo, kWavGrab, kAacFromWavStereo, kMp4Box}},
    {"NormalisedAc3",
     0,
     kAudioAC3,
     kNormalize,
     {kExtractVideo, kWavGrab, R"("{app}/Sounds/normalize.exe" "{out}movie.wav")", kAacFromWav51,
      kMp4Box}},
    {"SafeSyncAc3SurroundEncodesTheTrack",
     0,
     kAudioAC3,
     kSafeSync,
     {ExtractVideoAnd("ac3"),
      R"("{app}/FFMpeg/FFmpeg.exe" -f ac3 -i "{out}movie.ac3" -acodec libfaac -ac 6 -ab 224kb "{out}movie.aac")",
      kMp4Box}},
    {"SafeSyncAc3StereoEncodesTheTrack",
     2,
     kAudioAC3,
     kSafeSync,
     {ExtractVideoAnd("ac3"),
      R"("{app}/FFMpeg/FFmpeg.exe" -f ac3 -i "{out}movie.ac3" -acodec libfaac -ac 2 -ab 224kb "{out}movie.aac")",
      kMp4Box}},
    // Vorbis is encoded straight from the extracted track, so the track is extracted.
    {"VorbisIsExtractedAndEncoded",
     0,
     kAudioVorbis,
     0,
     {ExtractVideoAnd("ogg"),
      R"("{app}/FFMpeg/FFmpeg.exe" -f ogg -i "{out}movie.ogg" -acodec libfaac -ac 6 -ab 224kb "{out}movie.aac")",
      kMp4Box}},
    // Safe Sync stays ticked (disabled) after an AC3 source; an AAC track must not be
    // "encoded" onto itself and deleted.
    {"SafeSyncLeftOnKeepsAacTrack", 0, kAudioAAC, kSafeSync, {ExtractVideoAnd("aac"), kMp4Box}},
    // The Xbox 360 re-encodes AAC to stereo from a WAV with Safe Sync too; the track
    // Safe Sync extracted is not the result.
    {"Xbox360SafeSyncAacIsEncodedFromTheWav",
     1,
     kAudioAAC,
     kSafeSync,
     {ExtractVideoAnd("aac"), kWavGrab, kAacFromWavStereo, kMp4Box}},
    {"NeroEncoderMakesTheMp4AndMP4BoxAddsVideo",
     1,
     kAudioAC3,
     kNero,
     {kExtractVideo, kWavGrab,
      R"("{app}/neroAacEnc.exe" -lc -br 320000 -if "{out}movie.wav" -of  "{out}Film.mp4")",
      R"("{app}/MP4Box/MP4Box.exe"  -fps 23.976 -add "{out}movie.h264" "{out}Film.mp4"  -tmp "{tmp}")"}},
    {"BackupDecodeDtsSurround",
     0,
     kAudioDTS,
     kWavToolFails,
     {kExtractVideo, kWavGrab,
      R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.dts")",
      R"("{app}/ac3filter/valdec.exe" "{out}movie.dts" -wav "{out}movie.wav" -spk:6 -fmt:0 -drc+ -gain:8 -drc_power:8 )",
      kAacFromWav51, kMp4Box}},
    {"BackupDecodeAc3Stereo",
     2,
     kAudioAC3,
     kWavToolFails,
     {kExtractVideo, kWavGrab,
      R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.ac3")",
      R"("{app}/ac3filter/valdec.exe" "{out}movie.ac3" -wav "{out}movie.wav" -spk:2 -fmt:0 -drc+ -gain:8 -drc_power:8 )",
      kAacFromWavStereo, kMp4Box}},
    {"BackupDecodeMp3",
     2,
     kAudioMP3,
     kWavToolFails,
     {kExtractVideo, kWavGrab,
      R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.mp3")",
      R"("{app}/FFMpeg/FFmpeg.exe" -i "{out}movie.mp3 " -acodec pcm_s16le "{out}movie.wav")",
      kAacFromWavStereo, kMp4Box}},
    {"BackupDecodeAacOnXbox360",
     1,
     kAudioAAC,
     kWavToolFails,
     {kExtractVideo, kWavGrab,
      R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.aac")",
      R"("{app}/ffmpeg/faad.exe" -d "{out}movie.aac" -o "{out}movie.wav")", kAacFromWavStereo,
      kMp4Box}},
    // The muxer gets the pixel aspect of a picture shown wider than it is stored.
    {"AnamorphicSource",
     0,
     kAudioAC3,
     kAnamorphic,
     {kExtractVideo, kWavGrab, kAacFromWav51,
      R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=23.976:par=1920:1440" "{out}Film.mp4"  -tmp "{tmp}")"}},
    // A VFW-mode video goes through an AVI and into the creator, which adds it alone.
    {"VfwSource",
     0,
     kAudioAC3,
     kVfw,
     {kExtractAvi, kAviRaw, kWavGrab, kAacFromWav51,
      R"("{app}/MP4Box/mp4creator.exe" -rate=23.976  -create="{out}movie_video.264" "{out}Film.mp4")"}},
    {"TwentyFiveFpsRetimesTheAudioAndTheVideo",
     0,
     kAudioAC3,
     kTo25Fps,
     {kExtractVideo, kWavGrab, kStretch,
      R"("{app}/besweet/BeSweet.exe" -core( -input "{out}movie2.wav" -2ch -output "{out}movie.wav" ) -ota( -r 23976 25000 ) )",
      kAacFromWav51, kMp4Box25}},
    // The source rate is handed over as a number: what follows the digits is not part of it.
    {"TwentyFiveFpsRateIsTheNumberOfTheFrameRateText",
     0,
     kAudioAC3,
     kTo25Fps,
     {kExtractVideo, kWavGrab, kStretch,
      R"("{app}/besweet/BeSweet.exe" -core( -input "{out}movie2.wav" -2ch -output "{out}movie.wav" ) -ota( -r 2997 25000 ) )",
      kAacFromWav51, kMp4Box25},
     "29.97 "},
    {"TwentyFiveFpsSourceIsNotRetimed",
     0,
     kAudioAC3,
     kTo25Fps,
     {kExtractVideo, kWavGrab, kAacFromWav51, kMp4Box25},
     "25.000"},
};

class Mp4Road : public ::testing::TestWithParam<RoadCase> {};

TEST_P(Mp4Road, RunsEachToolWithItsExactCommandLine) {
  const RoadCase& c = GetParam();
  ConvertScaffold s;
  s.Ready(c.audio);
  s.form().txtSFPS.Text = c.fps;
  if (c.options & kAnamorphic) s.Anamorphic();
  s.app.report.bVFW = c.options & kVfw;
  if (c.options & kWavToolFails) s.LeavesNothing("wavgrab.exe");
  if (c.options & kNero) s.MakeTool("neroAacEnc.exe");
  s.form().cmbPlatform.SetListIndex(c.platform);
  s.form().chkNorm.SetValue(c.options & kNormalize ? 1 : 0);
  s.form().chkFF.SetValue(c.options & kSafeSync ? 1 : 0);
  s.form().chk25.SetValue(c.options & kTo25Fps ? 1 : 0);

  s.Convert();

  EXPECT_EQ(s.Commands(), s.X(c.commands));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_TRUE(s.OutputHas("Film.mp4"));
  for (const char* work : {"movie.h264", "movie.aac", "movie.wav", "movie.ac3", "movie.dts",
                           "movie.mp3", "movie.ogg", "movie2.wav"})
    EXPECT_FALSE(s.OutputHas(work)) << work;
  // The debug log holds the extractor's (on the VFW road: the AVI reader's) and the
  // muxer's command lines.
  const std::string& extractor = c.commands[c.options & kVfw ? 1 : 0];
  EXPECT_EQ(s.DebugLogLines(), s.X({extractor, c.commands.back()}));
  if (c.options & kVfw)
    EXPECT_EQ(ReadFile(s.outputDir.path() / "Film.mp4"),
              "[track " + s.Out("movie_video.264") + "]");
  EXPECT_EQ(s.app.conversionsStarted, 1);
  EXPECT_EQ(s.app.conversionsSucceeded, 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, Mp4Road, ::testing::ValuesIn(kRoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A failed encode is reported, and not hidden by an AAC track Safe Sync extracted.
TEST(Mp4RoadFailure, FailedAacEncodeIsReportedAndTheMuxerFailsToo) {
  for (bool xbox360SafeSyncAac : {false, true}) {
    ConvertScaffold s;
    s.Ready(xbox360SafeSyncAac ? kAudioAAC : kAudioAC3);
    s.LeavesNothing("FFmpeg.exe");
    if (xbox360SafeSyncAac) {
      s.form().cmbPlatform.SetListIndex(1);
      s.form().chkFF.SetValue(1);
    }

    s.Convert();

    ASSERT_EQ(s.ui.boxes.size(), 2u) << xbox360SafeSyncAac;
    EXPECT_EQ(s.ui.boxes[0].text, "Error during aac conversion.");
    EXPECT_EQ(s.ui.boxes[0].title, "Audio error");
    EXPECT_EQ(s.ui.boxes[0].style, 16);
    EXPECT_EQ(s.ui.boxes[1].title, "MP4box error");
    EXPECT_NE(s.form().txtProgress.Text, "Conversion done");
    EXPECT_EQ(s.app.conversionsSucceeded, 0);
  }
}

TEST(Mp4RoadSource, VfwVorbisSourceTakesTheVideoThroughAvi) {
  ConvertScaffold s;
  s.Ready(kAudioVorbis);
  s.app.report.bVFW = true;

  s.Convert();

  std::vector<std::string> commands = s.Commands();
  ASSERT_GE(commands.size(), 2u);
  commands.resize(2);
  EXPECT_EQ(commands, s.X(std::vector<std::string>{kExtractAvi, kAviRaw}));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
}

// A High-profile sequence parameter set that declares level 5.1.
const std::string kLevel51Stream("\x00\x00\x00\x01\x67\x64\x00\x33\xAC", 9);

TEST(Mp4RoadSource, ExtractedStreamDeclaresLevel41WhenMuxed) {
  for (bool vfw : {false, true}) {
    ConvertScaffold s;
    s.Ready();
    s.app.report.bVFW = vfw;
    const std::string stream = s.Out(vfw ? "movie_video.h264" : "movie.h264");
    s.runner.On(vfw ? "MP4Box.exe" : "mkvextract.exe", [&](const std::vector<std::string>&) {
      WriteFile(stream, kLevel51Stream);
      return std::string();
    });
    int levelWhenMuxed = -1;
    s.runner.On(vfw ? "mp4creator.exe" : "MP4Box.exe", [&](const std::vector<std::string>&) {
      const std::string muxed = ReadFile(vfw ? s.Out("movie_video.264") : stream);
      if (muxed.size() > 7) levelWhenMuxed = static_cast<unsigned char>(muxed[7]);
      return std::string();
    });

    s.Convert();

    EXPECT_EQ(levelWhenMuxed, 0x29) << (vfw ? "VFW" : "extracted");
  }
}

}  // namespace
}  // namespace quillet::test
