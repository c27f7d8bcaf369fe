// The Xvid AVI: the sound per format and target, the encoder's three line forms, the
// Xbox 360 resize, the bitrate and part-size arithmetic, the AVI muxer script written
// from the template, the clean-up, and the checks of the encoder's and muxer's results.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "convert/Arithmetic.h"
#include "convert/ConvertSteps.h"
#include "tests/support/RecodeScaffold.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

// clang-format off
const std::string kEncoder = R"("{app}/Mencoder/Mencoder.exe")";
const std::string kFont = R"("{app}/Mencoder/font.ttf" -utf8 -subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 4)";
const std::string kXvidOpts = ":max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:nochroma_opt:hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel";
const std::string kExtractAc3 = R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.ac3" )";
const std::string kAften = R"("{app}/aften/aften.exe" "{out}movie.wav" -b 640 "{out}movie.ac3")";
const std::string kMux = R"("{app}/avimux/avimux_gui.exe" "{out}quillet.amg")";
// clang-format on

// The middle of every encoder line: 4,000,000,000 bytes over 5400 s give
// 0.98 x (32,000,000 - 345,600) / 5400 = 5744.7 kbit/s.
std::string Middle(const std::string& scale = "", const std::string& bitrate = "5745") {
  return " -ovc xvid -xvidencopts bitrate=" + bitrate + kXvidOpts +
         " -ofps 31001/1293 -vf harddup" + scale + R"( -nosound "{src}")";
}
std::string LineC(const std::string& scale = "", const std::string& bitrate = "5745") {
  return kEncoder + R"(  -of avi -o "{out}movie.avi")" + Middle(scale, bitrate) +
         " -mc 0 -noskip -sid 99\"";
}
std::string LineA(int sid) {
  return kEncoder + " -font " + kFont + R"( -of avi -o "{out}movie.avi")" + Middle() +
         "  -noskip -sid " + std::to_string(sid);
}
std::string LineB() {
  return kEncoder + "  -font " + kFont + R"( -of avi -o "{out}movie.avi")" + Middle() +
         " -noskip -sid 0";
}
std::string Valdec(const std::string& ext, const std::string& spk) {
  return R"("{app}/ac3filter/valdec.exe" "{out}movie.)" + ext + R"(" -wav "{out}movie.wav" -spk:)" +
         spk + " -fmt:0";
}

// An AC3 film of 4,000,000,000 bytes, 5400 s at 23.976 fps, 1920x1080, PS3 (5.1).
struct XvidRun : RecodeScaffold {
  XvidRun(AudioType audio = kAudioAC3) {
    ReadyRecode(audio);
    MakeSource(4000000000);
    Xvid();
    ui.onRepaint = [this] {
      if (progress.empty() || progress.back() != form().txtProgress.Text)
        progress.push_back(form().txtProgress.Text);
    };
  }
  std::vector<std::string> progress;
  bool Showed(const std::string& text) const {
    return std::find(progress.begin(), progress.end(), text) != progress.end();
  }
};

struct XvidCase {
  const char* name;
  AudioType audio;
  std::function<void(XvidRun&)> setup;
  std::vector<std::string> commands;
};

// clang-format off
const XvidCase kCases[] = {
    // The PS3 (5.1) takes the source's AC3 as it is.
    {"Ac3Surround", kAudioAC3, [](XvidRun&) {}, {kExtractAc3, LineC(), kMux}},
    {"Ac3StereoIsMixedDown", kAudioAC3, [](XvidRun& s) { s.form().cmbPlatform.SetListIndex(2); },
     {kExtractAc3, Valdec("ac3", "2"), kAften, LineC(), kMux}},
    {"DtsSurroundNormalised", kAudioDTS, [](XvidRun& s) { s.form().chkNorm.SetValue(1); },
     {R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.dts" )", Valdec("dts", "0"),
      R"("{app}/Sounds/normalize.exe" "{out}movie.wav")", kAften, LineC(), kMux}},
    // The Xbox 360 gets its picture 1280 wide: 1080 x 1280 / 1920 = 720.
    {"AacXbox360IsScaled", kAudioAAC, [](XvidRun& s) { s.form().cmbPlatform.SetListIndex(1); },
     {R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.aac" )",
      R"("{app}/ffmpeg/faad.exe" -s 48000 "{out}movie.aac" -o "{out}movie.wav")", kAften,
      LineC(",scale=1280:720"), kMux}},
    {"AacStereo", kAudioAAC, [](XvidRun& s) { s.form().cmbPlatform.SetListIndex(2); },
     {R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.aac" )",
      R"("{app}/ffmpeg/faad.exe" -d -s 48000 "{out}movie.aac" -o "{out}movie.wav")", kAften,
      LineC(), kMux}},
    {"LetterboxedXbox360KeepsItsProportions", kAudioVorbis,
     [](XvidRun& s) { s.form().cmbPlatform.SetListIndex(1); s.app.report.intPixelHeight = 800; },
     {R"("{app}/TS/wavgrab.exe" "{src}" "{out}movie.wav")", kAften,
      LineC(",scale=1280:533.333333333333"), kMux}},
    {"NarrowXbox360IsNotScaled", kAudioMP3,
     [](XvidRun& s) { s.form().cmbPlatform.SetListIndex(1); s.app.report.intPixelWidth = 1280; },
     {R"("{app}/TS/wavgrab.exe" "{src}" "{out}movie.wav")", kAften, LineC(), kMux}},
    // A subtitle track of the source is extracted with the sound and burnt in.
    {"SourceSubtitleWithTheSound", kAudioAC3, [](XvidRun& s) { s.ChooseSourceSubtitle(1); },
     {R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.ac3"  4:"{out}movie.ASS")",
      LineA(1), kMux}},
    {"SourceSubtitleBeforeTheWavTool", kAudioMP2, [](XvidRun& s) { s.ChooseSourceSubtitle(0); },
     {R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}"  3:"{out}movie.srt")",
      R"("{app}/TS/wavgrab.exe" "{src}" "{out}movie.wav")", kAften, LineA(0), kMux}},
    // "Embed subs" with no track chosen has nothing to burn in.
    {"EmbedSubsWithoutATrack", kAudioAC3, [](XvidRun& s) { s.form().chkSubs.SetValue(1); },
     {kExtractAc3, LineC(), kMux}},
    // The copy with the browsed subtitle file muxed in: its only subtitle track.
    {"SubtitleFileOfTheCopy", kAudioAC3,
     [](XvidRun& s) {
       s.form().bSRT = true;
       s.form().strSubBrowse = "/films/Film.srt";
       s.form().chkSubs.SetValue(1);
     },
     {kExtractAc3, LineB(), kMux}},
    {"FitToDvd9", kAudioAC3,
     [](XvidRun& s) { s.form().chkDVD.SetValue(1); s.form().cmbSize.SetListIndex(1); },
     {kExtractAc3, LineC("", "11461"), kMux}},  // 0.98 x (63,500,000 - 345,600) / 5400
};
// clang-format on

class XvidLines : public ::testing::TestWithParam<XvidCase> {};

TEST_P(XvidLines, RunsTheToolsInOrderAndEndsDone) {
  const XvidCase& c = GetParam();
  XvidRun s(c.audio);
  c.setup(s);

  s.Convert();

  EXPECT_EQ(s.Commands(), s.X(c.commands));
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion done");
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_TRUE(s.OutputHas("Film.avi"));
  // The working files are gone, the result stays.
  EXPECT_EQ(FolderNames(s.outputDir.path()), std::vector<std::string>{"Film.avi"});
}

INSTANTIATE_TEST_SUITE_P(Forms, XvidLines, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XvidProgress, EncodedSoundIsAnnouncedButTheSourcesAc3IsNot) {
  XvidRun stereo;
  stereo.form().cmbPlatform.SetListIndex(2);
  stereo.Convert();
  EXPECT_TRUE(stereo.Showed("Encoding Xvid."));
  EXPECT_TRUE(stereo.Showed("Encoding Xvid"));

  XvidRun surround;
  surround.Convert();
  EXPECT_FALSE(surround.Showed("Encoding Xvid."));
  EXPECT_TRUE(surround.Showed("Encoding Xvid"));
  EXPECT_EQ(surround.form().strH264Bitrate, "5745");
  EXPECT_EQ(surround.form().txtSFPS.Text, "23.976");
}

TEST(XvidFrameRate, EncoderRateFromTheFrameRateText) {
  for (const auto& [text, rate] :
       std::vector<std::pair<std::string, std::string>>{{"23.976", "31001/1293"},
                                                        {"25.000", "25"},
                                                        {"29.970", "30000/1001"},
                                                        {"59.940", "60000/1001"},
                                                        {"23.98", "24000/1001"},
                                                        {"50", "50"}}) {
    XvidRun s;
    s.form().txtSFPS.Text = text;
    s.Convert();
    ASSERT_EQ(s.Commands().size(), 3u);
    EXPECT_NE(s.Commands()[1].find(" -ofps " + rate + " -vf harddup "), std::string::npos) << text;
  }
}

TEST(XvidArithmetic, Bitrate) {
  struct Case {
    int64_t seconds, target;
    const char* bitrate;
  };
  for (const Case& c : {Case{6000, 34500000, "5572"},  // DVD5: 5572.28
                        Case{100, 58900, "514"},       // 514.5: halves go to the even
                        Case{100, 63900, "564"},       // 563.5
                        Case{0, 190000000, "6000"},    // no length
                        Case{-5, 190000000, "6000"}, Case{60, 190000000, "25000"},  // capped
                        Case{5400, 1000, "6000"},   // the sound needs more than all
                        Case{100, 57400, "500"},    // 499.8 rounds to 500 ...
                        Case{100, 57300, "6000"}})  // ... 498.8 to 499, below 500
    EXPECT_EQ(XvidBitrateText(c.seconds, c.target), c.bitrate) << c.seconds << " " << c.target;
}

TEST(XvidArithmetic, PartSize) {
  struct Case {
    int64_t bytes, megabytes;
  };
  for (const Case& c : {Case{9000000000, 2929},  // 8789 MB in three parts
                        Case{3000000000, 4000},  // 2930 MB: one part
                        Case{4096000000, 2000},  // 4000 MB: two parts
                        Case{4095488000, 2000},  // 3999.5 MB rounds to the even 4000 ...
                        Case{4094464000, 4000},  // ... 3998.5 to 3998: one part
                        Case{0, 4000}})
    EXPECT_EQ(AviSplitSizeMb(c.bytes), c.megabytes) << c.bytes;
}

TEST(XvidArithmetic, GeneralNumbers) {
  EXPECT_EQ(GeneralNumberText(720), "720");
  EXPECT_EQ(GeneralNumberText(800 / 1.5), "533.333333333333");
  EXPECT_EQ(GeneralNumberText(0.5), "0.5");
}

TEST(AviParts, FirstKeepsTheNameOthersAreNumbered) {
  EXPECT_EQ(AviPartName("Film", 1), "Film.avi");
  EXPECT_EQ(AviPartName("Film", 2), "Film_002.avi");
  EXPECT_EQ(AviPartName("My Film", 12), "My Film_012.avi");
}

struct ScriptCase {
  const char* name;
  bool split, fitTo;
  const char* sizeLine;
};

class AviMuxScript : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(AviMuxScript, TemplateLinesUpToTheMarkerThenStart) {
  XvidRun s;
  s.form().Check1.SetValue(GetParam().split ? 1 : 0);
  s.form().chkDVD.SetValue(GetParam().fitTo ? 1 : 0);

  s.Convert();

  // The films here are small: one part of 4000 MB is the part size.
  EXPECT_EQ(s.muxedScript, s.X("CLEAR\r\n"
                               "LOAD {out}movie.avi\r\n"
                               "LOAD {out}movie.ac3\r\n"
                               "SELECT FILE 1\r\n"
                               "ADD VIDEOSOURCE\r\n"
                               "WITH SET OPTION\r\n" +
                               std::string(GetParam().sizeLine) +
                               "\r\n"
                               "d:\\quillet\\ stays as it is\r\n"
                               "END WITH\r\n"
                               "START {out}Film.avi\r\n"));
}

// clang-format off
const ScriptCase kScripts[] = {
    {"OneFile", false, false, "MAXFILESIZE OFF"},
    {"Split", true, false, "MAXFILESIZE 4000"},
    {"FitToWithoutSplit", false, true, "MAXFILESIZE 4500"},
    {"SplitWinsOverFitTo", true, true, "MAXFILESIZE 4000"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(SizeRules, AviMuxScript, ::testing::ValuesIn(kScripts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AviMuxScriptText, LfTemplateGivesCrLfAndAnyMaxFileSizeLineIsOffWithoutSplit) {
  XvidRun s;
  s.form().Check1.SetValue(0);
  s.WriteTemplate({R"(LOAD D:\QUILLET\movie.avi)", R"(LOAD D:\QUILLET\movie.ac3)",
                   "MAXFILESIZE 1000", R"(REM D:\QUILLET\D:\QUILLET\)", "ENDOFFILE here"},
                  "\n");
  s.Convert();
  EXPECT_EQ(s.muxedScript, s.X("LOAD {out}movie.avi\r\nLOAD {out}movie.ac3\r\nMAXFILESIZE OFF\r\n"
                               "REM {out}{out}\r\nSTART {out}Film.avi\r\n"));
}

struct TemplateFault {
  const char* name;
  std::function<void(XvidRun&)> make;
};

class BrokenTemplate : public ::testing::TestWithParam<TemplateFault> {};

TEST_P(BrokenTemplate, IsNamedAndNothingRuns) {
  XvidRun s;
  GetParam().make(s);

  s.Convert();

  EXPECT_TRUE(s.Commands().empty());
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_NE(s.ui.boxes[0].text.find(s.TemplatePath()), std::string::npos) << s.ui.boxes[0].text;
  EXPECT_EQ(s.ui.boxes[0].style, 16);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
}

// clang-format off
const TemplateFault kTemplateFaults[] = {
    {"Missing", [](XvidRun& s) { fs::remove(s.TemplatePath()); }},
    {"Unreadable", [](XvidRun& s) { fs::remove(s.TemplatePath()); fs::create_directories(s.TemplatePath()); }},
    {"WithoutMarker", [](XvidRun& s) { s.WriteTemplate({"LOAD D:\\QUILLET\\movie.avi", "MAXFILESIZE size"}); }},
    {"Empty", [](XvidRun& s) { s.WriteTemplate({}); }},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Faults, BrokenTemplate, ::testing::ValuesIn(kTemplateFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XvidFailures, SoundMissingStopsBeforeTheEncoder) {
  XvidRun s;
  s.form().cmbPlatform.SetListIndex(2);
  s.LeavesNothing("aften.exe");
  s.Convert();
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].text, "Error during audio extraction. Temp files not deleted.");
  EXPECT_EQ(s.ui.boxes[0].title, "Audio error");
  EXPECT_EQ(s.ui.boxes[0].style, 16);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  for (const std::string& line : s.Commands()) EXPECT_EQ(line.find("Mencoder"), std::string::npos);
}

TEST(XvidFailures, TheSourcesAc3MissingIsAnAudioErrorToo) {
  XvidRun s;
  s.LeavesNothing("mkvextract.exe");
  s.Convert();
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].title, "Audio error");
  EXPECT_EQ(s.Commands().size(), 1u);
}

TEST(XvidFailures, EncoderLeavingNothingIsNamedAndTheSoundStays) {
  XvidRun s;
  s.LeavesNothing("Mencoder.exe");
  s.Convert();
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_NE(s.ui.boxes[0].text.find(s.Out("movie.avi")), std::string::npos);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(s.Commands().size(), 2u);  // no muxer
  EXPECT_TRUE(s.OutputHas("movie.ac3"));
  EXPECT_EQ(s.app.conversionsSucceeded, 0);
}

TEST(XvidFailures, MuxerLeavingNothingIsNamedAndTheWorkingFilesStay) {
  XvidRun s;
  s.LeavesNothing("avimux_gui.exe");
  s.Convert();
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_NE(s.ui.boxes[0].text.find(s.Out("Film.avi")), std::string::npos);
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(FolderNames(s.outputDir.path()),
            (std::vector<std::string>{"movie.ac3", "movie.avi", "quillet.amg"}));
}

TEST(XvidFailures, AnEarlierAviDoesNotPassForThisRunsAndComesBack) {
  XvidRun s;
  WriteFile(s.Out("Film.avi"), "earlier");
  s.LeavesNothing("avimux_gui.exe");
  s.Convert();
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(ReadFile(s.Out("Film.avi")), "earlier");
}

TEST(XvidResult, ReplacesTheEarlierAviAndItsStaleParts) {
  XvidRun s;
  WriteFile(s.Out("Film.avi"), "earlier");
  WriteFile(s.Out("Film_002.avi"), "earlier part");
  WriteFile(s.Out("movie.ac3"), "an old run's sound");  // must not be taken
  s.LeavesNothing("mkvextract.exe");
  s.Convert();
  EXPECT_EQ(s.form().txtProgress.Text, "Conversion error.");
  EXPECT_EQ(ReadFile(s.Out("Film_002.avi")), "earlier part");

  XvidRun t;
  WriteFile(t.Out("Film.avi"), "earlier");
  WriteFile(t.Out("Film_002.avi"), "earlier part");
  t.Convert();
  EXPECT_EQ(t.form().txtProgress.Text, "Conversion done");
  EXPECT_EQ(FolderNames(t.outputDir.path()), std::vector<std::string>{"Film.avi"});
  EXPECT_NE(ReadFile(t.Out("Film.avi")), "earlier");
}

}  // namespace
}  // namespace quillet::test
