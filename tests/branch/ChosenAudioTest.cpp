// The audio track the user chose in a film of two tracks, on the MP4 and transport-stream
// roads: the WAV tool's command stays as it was when it decodes the chosen track (the
// first flagged default), otherwise the chosen track is extracted and decoded by its own
// decoder. Also the sound retimed with the picture, the stereo PS3's down-mix, and a
// track of a format the program does not know.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "inspect/StreamControls.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TsScaffold.h"

namespace quillet::test {
namespace {

const char* const kMp4Box25 =
    R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=25.000" "{out}Film.mp4"  -tmp "{tmp}")";
const char* const kStretch =
    R"("{app}/Sounds/soundstretch.exe" "{out}movie.wav" "{out}movie2.wav" -pitch=-1 )";
const char* const kBeSweet =
    R"("{app}/besweet/BeSweet.exe" -core( -input "{out}movie2.wav" -2ch -output "{out}movie.wav" ) -ota( -r 23976 25000 ) )";

std::string ExtractVideoAnd(const std::string& track, const std::string& ext) {
  return std::string(kExtractVideo) + " " + track + R"(:"{out}movie.)" + ext + "\"";
}
std::string ExtractTrack(const std::string& track, const std::string& ext) {
  return R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" )" + track + R"(:"{out}movie.)" + ext +
         "\"";
}

// A film of two audio tracks: the first flagged default, as players and the WAV tool
// pick it.
struct TwoTracks {
  AudioType first;
  int firstChannels;
  AudioType second;
  int secondChannels;
};

struct ChoiceCase {
  const char* name;
  TwoTracks film;
  int chosenRow;  // the row the user clicks in the audio list
  int platform;   // 0 PS3 (5.1), 1 Xbox 360, 2 PS3 (2.0)
  std::function<void(TsScaffold&)> options;
  std::vector<std::string> commands;
};

void NoOptions(TsScaffold&) {}
void To25Fps(TsScaffold& s) {
  s.form().chk25.SetValue(1);
}
void M2ts(TsScaffold& s) {
  s.form().chkVob.SetValue(1);
}

// clang-format off
const ChoiceCase kCases[] = {
    // The chosen track is the one the WAV tool decodes: the command lines are unchanged.
    {"DefaultAc3ChosenKeepsTheWavTool", {kAudioAC3, 6, kAudioAAC, 2}, 0, 0, NoOptions,
     {kExtractVideo, kWavGrab, kAacFromWav51, kMp4Box}},
    {"DefaultAacChosenPassesThrough", {kAudioAAC, 2, kAudioAC3, 6}, 0, 0, NoOptions,
     {ExtractVideoAnd("2", "aac"), kMp4Box}},
    // The second track chosen: extracted and decoded by the decoder that names its input.
    {"SecondAc3ChosenIsExtractedAndDecoded", {kAudioAAC, 2, kAudioAC3, 6}, 1, 0, NoOptions,
     {kExtractVideo, ExtractTrack("3", "ac3"),
      R"("{app}/ac3filter/valdec.exe" "{out}movie.ac3" -wav "{out}movie.wav" -spk:0 -fmt:0)",
      kAacFromWav51, kMp4Box}},
    {"SecondDtsChosenOnStereoPs3", {kAudioAC3, 6, kAudioDTS, 6}, 1, 2, NoOptions,
     {kExtractVideo, ExtractTrack("3", "dts"),
      R"("{app}/ac3filter/valdec.exe" "{out}movie.dts" -wav "{out}movie.wav" -spk:2 -fmt:0)",
      kAacFromWavStereo, kMp4Box}},
    {"SecondAacChosenOnXbox360", {kAudioAC3, 6, kAudioAAC, 6}, 1, 1, NoOptions,
     {kExtractVideo, ExtractTrack("3", "aac"),
      R"("{app}/ffmpeg/faad.exe" -d "{out}movie.aac" -o "{out}movie.wav")", kAacFromWavStereo,
      kMp4Box}},
    // The transport stream: the chosen MP3 track the extraction took out is decoded.
    {"M2tsDefaultMp3KeepsTheWavTool", {kAudioMP3, 2, kAudioAC3, 6}, 0, 0, M2ts,
     {ExtractVideoAnd("2", "mp3"), kHeaderTool, kWavGrab, kAc3At640, kMuxM2ts}},
    {"M2tsSecondMp3ChosenIsDecodedFromTheExtractedTrack", {kAudioAC3, 6, kAudioMP3, 2}, 1, 0, M2ts,
     {ExtractVideoAnd("3", "mp3"), kHeaderTool,
      R"("{app}/FFMpeg/FFmpeg.exe" -i "{out}movie.mp3" -acodec pcm_s16le "{out}movie.wav")",
      kAc3At640, kMuxM2ts}},
    // The stereo PS3 gets stereo: a 5.1 AAC track is mixed down, a stereo one passes.
    {"Ps3StereoMixesDownSurroundAac", {kAudioAAC, 6, kAudioAC3, 6}, 0, 2, NoOptions,
     {ExtractVideoAnd("2", "aac"), kWavGrab, kAacFromWavStereo, kMp4Box}},
    {"Ps3StereoPassesStereoAac", {kAudioAAC, 2, kAudioAC3, 6}, 0, 2, NoOptions,
     {ExtractVideoAnd("2", "aac"), kMp4Box}},
    // At 25 frames per second every sound is retimed with the picture.
    {"TwentyFiveFpsRetimesPassedAac", {kAudioAAC, 6, kAudioAC3, 6}, 0, 0, To25Fps,
     {ExtractVideoAnd("2", "aac"), kWavGrab, kStretch, kBeSweet, kAacFromWav51, kMp4Box25}},
    {"TwentyFiveFpsRetimesVorbis", {kAudioVorbis, 2, kAudioAC3, 6}, 0, 0, To25Fps,
     {ExtractVideoAnd("2", "ogg"), kWavGrab, kStretch, kBeSweet, kAacFromWav51, kMp4Box25}},
};
// clang-format on

class ChosenAudio : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ChosenAudio, DecodesTheTrackTheUserChose) {
  const ChoiceCase& c = GetParam();
  TsScaffold s;
  s.ReadyTs(c.film.first);
  TrackTable& audio = s.app.report.strAudioTracks;
  audio.Reset();
  audio.Add({"jpn", std::to_string(c.film.first), "2", true, c.film.firstChannels});
  audio.Add({"eng", std::to_string(c.film.second), "3", false, c.film.secondChannels});
  ShowTrackReport(s.app);
  s.form().cmbAudio.SetListIndex(c.chosenRow);  // the user's click
  s.form().cmbPlatform.SetListIndex(c.platform);
  c.options(s);

  s.Convert();

  EXPECT_EQ(s.Commands(), s.X(c.commands));
  EXPECT_TRUE(s.ui.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Roads, ChosenAudio, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A track of a format the program does not know is refused before any tool runs.
TEST(ChosenAudioRefusal, UnknownFormatIsRefusedWithAClearMessage) {
  TsScaffold s;
  s.ReadyTs(kAudioAC3);
  TrackTable& audio = s.app.report.strAudioTracks;
  audio.Reset();
  audio.Add({"jpn", "0", "2"});
  audio.Add({"eng", "", "3"});  // e.g. FLAC
  ShowTrackReport(s.app);
  s.form().cmbAudio.SetListIndex(1);

  s.Convert();

  EXPECT_TRUE(s.Commands().empty());
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].title, "Audio error");
  EXPECT_NE(s.ui.boxes[0].text.find("format"), std::string::npos);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
}

// Each part of a split source is converted with the subtitle file the user browsed,
// not only the first: a part's run ends by dropping it, as every conversion does.
TEST(SplitParts, EveryPartKeepsTheBrowsedSubtitles) {
  ConvertScaffold s;
  s.MakeSource(9000000000);
  s.Inspected(kAudioAC3);
  s.ScriptStandardTools();
  ScriptReportTool(s.runner, ReportFixture("h264_ac3.txt"));
  s.runner.On("mkvmerge.exe", [&s](const std::vector<std::string>&) {
    for (const char* part : {"Film-001.mkv", "Film-002.mkv", "Film-003.mkv"})
      WriteFile(s.outputDir.path() / "split" / part, "mkv");
    return std::string();
  });
  std::vector<std::string> browsedPerPart;
  s.runner.On("wavgrab.exe", [&s, &browsedPerPart](const std::vector<std::string>& a) {
    browsedPerPart.push_back(s.form().strSubBrowse);
    WriteFile(a.size() > 2 ? a[2] : "", "wav");
    return std::string();
  });
  const std::string subtitles = (s.sourceDir.path() / "Film.srt").string();
  WriteFile(subtitles, "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n");
  s.form().strSubBrowse = subtitles;
  s.form().Check1.SetValue(1);

  s.Convert();

  EXPECT_EQ(browsedPerPart, std::vector<std::string>(3, subtitles));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
}

}  // namespace
}  // namespace quillet::test
