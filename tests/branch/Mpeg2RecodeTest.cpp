// The MPEG-2 recode and the repack of an MPEG-2 source: the encoder's three line forms,
// the job file, the rename to ".mpg" (an earlier result set aside), the clean-up, the
// checks of each tool's result, and a sound a VOB cannot carry.

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/RecodeScaffold.h"
#include "tests/support/ReportFixtures.h"

namespace quillet::test {
namespace {

// clang-format off
const std::string kEncoder = R"("{app}/Mencoder/Mencoder.exe")";
const std::string kFont = R"("{app}/Mencoder/font.ttf" -utf8 -subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4)";
const std::string kSubtitled = " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate=14900:vbitrate=14900:autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps ";
const std::string kPlain = " -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vrc_buf_size=1600:vrc_maxrate=14900:vbitrate=14900:keyint=15:autoaspect:dia=2:trell:mv0 -ofps ";
const std::string kExtractAc3 = R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.ac3" )";
const std::string kAften = R"("{app}/aften/aften.exe" "{out}movie.wav" -b 640 "{out}movie.ac3")";
const std::string kValdecStereo = R"("{app}/ac3filter/valdec.exe" "{out}movie.ac3" -wav "{out}movie.wav" -spk:2 -fmt:0)";
const std::string kMux = R"("{app}/TS/tsmuxer.exe" "{out}movie.meta" "{out}Film.m2ts")";
const std::string kRepack = R"("{app}/FFMpeg/FFmpeg.exe" -threads 4 -i "{src}" -vcodec copy -acodec copy -f vob -copyts -y "{out}Film.mpg" -bug ms)";
// clang-format on

std::string LineC(const std::string& fps = "31001/1293") {
  return kEncoder + R"( -nosound -o "{out}movie.mpg")" + kPlain + fps +
         R"( -vf harddup "{src}" -mc 0 -noskip -sid 99)";
}
std::string Subtitled(const std::string& sid) {
  return kEncoder + " -nosound  -font " + kFont + R"( -o "{out}movie.mpg")" + kSubtitled +
         R"(31001/1293 -vf harddup "{src}" -mc 0 -noskip -sid )" + sid;
}

// An AC3 film at 23.976 fps for the PS3 (5.1), recoded to MPEG-2.
struct Mpeg2Run : RecodeScaffold {
  explicit Mpeg2Run(AudioType audio = kAudioAC3) {
    ReadyRecode(audio);
    Mpeg2();
  }
};

struct Mpeg2Case {
  const char* name;
  AudioType audio;
  std::function<void(Mpeg2Run&)> setup;
  std::vector<std::string> commands;
  std::string videoLine = R"(V_MPEG-2, "{out}movie.mpg", fps=23.976, track=224)";
};

// clang-format off
const Mpeg2Case kCases[] = {
    {"Ac3Surround", kAudioAC3, [](Mpeg2Run&) {}, {kExtractAc3, LineC(), kMux}},
    {"Ac3Stereo", kAudioAC3, [](Mpeg2Run& s) { s.form().cmbPlatform.SetListIndex(2); },
     {kExtractAc3, kValdecStereo, kAften, LineC(), kMux}},
    {"VorbisThroughTheWavTool", kAudioVorbis, [](Mpeg2Run&) {},
     {R"("{app}/TS/wavgrab.exe" "{src}" "{out}movie.wav")", kAften, LineC(), kMux}},
    // The encoder gets the fraction, the job file the frame rate as typed.
    {"FrameRateAsTypedInTheJobFile", kAudioAC3, [](Mpeg2Run& s) { s.form().txtSFPS.Text = "29.970"; },
     {kExtractAc3, LineC("30000/1001"), kMux}, R"(V_MPEG-2, "{out}movie.mpg", fps=29.970, track=224)"},
    {"SourceSubtitle", kAudioAC3, [](Mpeg2Run& s) { s.ChooseSourceSubtitle(0); },
     {R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.ac3"  3:"{out}movie.srt")",
      Subtitled("0"), kMux}},
    {"SubtitleFileOfTheCopy", kAudioAC3,
     [](Mpeg2Run& s) {
       s.form().bSRT = true;
       s.form().lblSRTFound.Visible = true;
       s.form().chkSubs.SetValue(1);
     },
     {kExtractAc3, Subtitled("0"), kMux}},
    // No resize and no "Fit to" on this road.
    {"Xbox360AndFitToChangeNothing", kAudioAC3,
     [](Mpeg2Run& s) { s.form().cmbPlatform.SetListIndex(1); s.form().chkDVD.SetValue(1); },
     {kExtractAc3, LineC(), kMux}},
};
// clang-format on

class Mpeg2Lines : public ::testing::TestWithParam<Mpeg2Case> {};

TEST_P(Mpeg2Lines, EncodeMuxAndRename) {
  const Mpeg2Case& c = GetParam();
  Mpeg2Run s(c.audio);
  c.setup(s);

  s.Convert();

  EXPECT_EQ(s.Commands(), s.X(c.commands));
  EXPECT_EQ(s.muxedMeta,
            s.X("MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr  --vbv-len=500\r\n" +
                c.videoLine + "\r\n" + R"(A_AC3, "{out}movie.ac3")" + "\r\n"));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_TRUE(s.ui.boxes.empty());
  // Only the transport stream under its ".mpg" name is left.
  EXPECT_EQ(FolderNames(s.outputDir.path()), std::vector<std::string>{"Film.mpg"});
  EXPECT_EQ(ReadFile(s.Out("Film.mpg")).rfind("ts of ", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Forms, Mpeg2Lines, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Mpeg2Recode, EarlierMpgIsReplacedWhenTheNewOneStands) {
  Mpeg2Run s;
  WriteFile(s.Out("Film.mpg"), "earlier");
  WriteFile(s.Out("Film.m2ts"), "an earlier mux");
  WriteFile(s.Out("movie.meta"), "stale");
  s.Convert();
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_EQ(FolderNames(s.outputDir.path()), std::vector<std::string>{"Film.mpg"});
  EXPECT_EQ(ReadFile(s.Out("Film.mpg")).rfind("ts of ", 0), 0u);
}

struct FailureCase {
  const char* name;
  const char* silentTool;
  const char* missing;  // named in the box
  std::vector<std::string> left;
};

class Mpeg2Failure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(Mpeg2Failure, IsNamedTheWorkingFilesStayAndTheEarlierResultComesBack) {
  const FailureCase& c = GetParam();
  Mpeg2Run s;
  s.form().cmbPlatform.SetListIndex(2);
  WriteFile(s.Out("Film.mpg"), "earlier");
  s.LeavesNothing(c.silentTool);

  s.Convert();

  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_NE(s.ui.boxes[0].text.find(s.Out(c.missing)), std::string::npos) << s.ui.boxes[0].text;
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
  EXPECT_EQ(FolderNames(s.outputDir.path()), c.left);
  EXPECT_EQ(ReadFile(s.Out("Film.mpg")), "earlier");
}

// clang-format off
const FailureCase kFailures[] = {
    {"Encoder", "Mencoder.exe", "movie.mpg", {"Film.mpg", "movie.ac3"}},
    {"Muxer", "tsmuxer.exe", "Film.m2ts", {"Film.mpg", "movie.ac3", "movie.meta", "movie.mpg"}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Tools, Mpeg2Failure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Mpeg2Recode, SoundMissingIsAnAudioErrorAndNothingIsEncoded) {
  Mpeg2Run s(kAudioDTS);
  s.LeavesNothing("aften.exe");
  s.Convert();
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].title, "Audio error");
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  for (const std::string& line : s.Commands()) EXPECT_EQ(line.find("Mencoder"), std::string::npos);
}

// A source whose video is MPEG-2 already, whatever the options.
struct RepackRun : RecodeScaffold {
  explicit RepackRun(AudioType audio = kAudioAC3) {
    ReadyRecode(audio);
    app.report.strVideoCodec = "mpeg2";
    Mpeg2();  // recoding ticked changes nothing
    runner.On("FFmpeg.exe", [](const std::vector<std::string>& a) {
      WriteFile(a[a.size() - 3], "vob of " + a[4]);
      return std::string();
    });
    app.report.audioCodecIds = {"A_DTS"};
  }
};

TEST(Mpeg2Repack, CopiesTheStreamsIntoAProgramStream) {
  for (AudioType audio : {kAudioAC3, kAudioMP2, kAudioDTS}) {
    RepackRun s(audio);
    WriteFile(s.Out("movie.wav"), "stale");
    WriteFile(s.Out("Film.mpg"), "earlier");
    s.Convert();
    EXPECT_EQ(s.Commands(), std::vector<std::string>{s.X(kRepack)});
    EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
    EXPECT_EQ(FolderNames(s.outputDir.path()), std::vector<std::string>{"Film.mpg"});
    EXPECT_EQ(ReadFile(s.Out("Film.mpg")), "vob of " + s.source);
  }
}

TEST(Mpeg2Repack, SoundAVobCannotCarryIsRefused) {
  for (const std::string sound : {"AAC", "Vorbis"}) {
    RepackRun s;
    // The second track is what FFmpeg might pick, whatever the choice in the window.
    s.app.report.audioCodecIds = {"A_AC3", sound == "AAC" ? "A_AAC" : "A_VORBIS"};
    s.Convert();
    EXPECT_TRUE(s.Commands().empty());
    ASSERT_EQ(s.ui.boxes.size(), 1u);
    EXPECT_NE(s.ui.boxes[0].text.find(" is " + sound + "."), std::string::npos)
        << s.ui.boxes[0].text;
    EXPECT_TRUE(FolderNames(s.outputDir.path()).empty());
    EXPECT_NE(s.ui.boxes[0].text.find("Film.mkv"), std::string::npos);
    EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  }
}

TEST(Mpeg2Repack, NothingWrittenIsNamedAndTheEarlierResultComesBack) {
  RepackRun s;
  WriteFile(s.Out("Film.mpg"), "earlier");
  s.LeavesNothing("FFmpeg.exe");
  s.Convert();
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_NE(s.ui.boxes[0].text.find(s.Out("Film.mpg")), std::string::npos);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(ReadFile(s.Out("Film.mpg")), "earlier");
}

// The inspection leaves the track tables of an MPEG-2 source empty but keeps what its
// sound tracks are, for the repack to judge.
TEST(Mpeg2SourceReport, KeepsTheSoundCodecIdsOnly) {
  TestApp t;
  std::string report = ReportFixture("mpeg2.txt");
  ParseReport(t, report);
  EXPECT_EQ(t.app.report.strVideoCodec, "mpeg2");
  EXPECT_EQ(t.app.report.strAudioTracks.count, 0);
  EXPECT_EQ(t.app.report.audioCodecIds, std::vector<std::string>{"A_DTS"});

  report.replace(report.find("A_DTS"), 5, "A_AAC/MPEG4/LC");
  ParseReport(t, report);
  EXPECT_EQ(t.app.report.audioCodecIds, std::vector<std::string>{"A_AAC/MPEG4/LC"});
  ParseReport(t, "");
  EXPECT_TRUE(t.app.report.audioCodecIds.empty());
}

}  // namespace
}  // namespace quillet::test
