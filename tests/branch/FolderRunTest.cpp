// The AVI road (the check, the two repairs, the repaired file checked) and the folder runs
// of Matroska and AVI files: which files, in which order, where results go, one shutdown.

#include <gtest/gtest.h>

#include <map>

#include "app/Program.h"
#include "app/StepProgress.h"
#include "base/Files.h"
#include "batch/FolderConversion.h"
#include "sources/Sources.h"
#include "tests/support/ConvertScaffold.h"
#include "tests/support/ReportFixtures.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using S = ConvertScaffold;
using Argv = std::vector<std::string>;
using Lines = std::vector<std::string>;

// clang-format off
const std::string kTestEncode = R"("{app}/mencoder/mencoder.exe" -endpos 10mb -ovc copy -oac copy "{src}" -o "{out}test.avi")";
const std::string kInfo = R"("{app}/checker/mmcl.exe" --info "{out}test.avi")";
const std::string kAudioRepair = R"("{app}/Mencoder/Mencoder.exe" -oac mp3lame -srate 48000 -lameopts cbr:br=160:mode=1 -of avi -o "{out}QL_Film.avi" -ovc copy "{src}")";
const std::string kXvid = " -ovc xvid -xvidencopts bitrate=-716800:max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:nochroma_opt:hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel";
const std::string kSubFont = R"("{app}/Mencoder/Mencoder.exe" -oac copy -mc 0 -font "{app}/Mencoder/font.ttf" -utf8 -subwidth 90 -of avi -o "{out}QL_Film.avi")";
const std::string kVideoRepair = R"("{app}/Mencoder/Mencoder.exe" -oac copy -mc 0 -of avi -o "{out}QL_Film.avi")" + kXvid + R"( -vf harddup "{src}" -noskip)";
const std::string kNotCreated = "info (16): Error: {out}QL_Film.avi was not created.";
const std::string kPlayable = "Video\nCodec ID:          XVID\nQPel:              No\nGMC:               No\n";
const std::string kQpel = "Video\nCodec ID:          XVID\nQPel:              Yes\nGMC:               No\n";
const std::string kGmc = "Video\nCodec ID:          XVID\nQPel:              No\nGMC:               Yes\n";
const std::string kDivx3 = "Video\nCodec ID:          DIV3\nQPel:              Yes\nGMC:               Yes\n";
// clang-format on

// "Film.avi" of 734,003,200 bytes (sparse); the encoder writes its "-o" file from the
// source, and the information tool prints `report`.
void AviSource(S& s, const std::string& report) {
  s.source = (s.sourceDir.path() / "Film.avi").string();
  s.MakeSource(734003200);
  s.form().strType = "avi";
  s.form().strSubOpts = "-subwidth 90";
  s.runner.On("mencoder.exe", [&s](const Argv& a) {
    const auto o = std::find(a.begin(), a.end(), "-o");
    if (std::find(a.begin(), a.end(), s.source) != a.end()) WriteFile(*(o + 1), "avi");
    return std::string();
  });
  s.runner.Prints("mmcl.exe", report);
}
Setup Avi(const std::string& report, Setup more = nullptr) {
  return [=](S& s) {
    AviSource(s, report);
    if (more) more(s);
  };
}
void EncoderWrites(S& s, const char* content) {
  s.runner.On("Mencoder/Mencoder.exe", [content](const Argv& a) {
    if (content) WriteFile(*(std::find(a.begin(), a.end(), "-o") + 1), content);
    return std::string();
  });
}

// clang-format off
const Scenario kAvi[] = {
    // The report decides the repair: the check's own lines are captured, the repair run.
    {"NeitherQpelNorGmcGetsTheAudioRepair", Avi(kPlayable), {kTestEncode, kInfo, kAudioRepair}, {}, {"QL_Film.avi"}},
    {"QuarterPixelMotionGetsTheVideoRepair", Avi(kQpel), {kTestEncode, kInfo, kVideoRepair}, {}, {"QL_Film.avi"}},
    {"GlobalMotionGetsTheVideoRepair", Avi(kGmc), {kTestEncode, kInfo, kVideoRepair}, {}, {"QL_Film.avi"}},
    {"DivX3WhateverItSays", Avi(kDivx3), {kTestEncode, kInfo, kAudioRepair}, {}, {"QL_Film.avi"}},
    {"UnreadableFileGetsTheVideoRepair", Avi("Error: cannot read the file\n"), {kTestEncode, kInfo, kVideoRepair}, {}, {"QL_Film.avi"}},
    // A tool that never prints a report is asked three times; asked again only until one comes.
    {"NoReportAfterThreeTries", Avi(""), {kTestEncode, kInfo, kInfo, kInfo, kVideoRepair}, {}, {"QL_Film.avi"}},
    {"AskedAgainUntilAReportComes", Avi(kPlayable, [](S& s) { auto runs = std::make_shared<int>(0); s.runner.On("mmcl.exe", [runs](const Argv&) { return ++*runs < 2 ? std::string("busy") : kPlayable; }); }), {kTestEncode, kInfo, kInfo, kAudioRepair}, {}, {"QL_Film.avi"}},
    // Subtitles are burnt in by the video repair, without a check.
    {"SrtBesideTheSourceIsBurntIn", Avi(kPlayable, [](S& s) { s.form().chkSubs.SetValue(1); WriteFile(s.sourceDir.path() / "Film.srt", "1"); s.form().lblSRTFound.Visible = true; }), {kSubFont + kXvid + R"(  -vf harddup "{src}" -noskip -sub "{srcdir}/Film.srt")"}, {}, {"QL_Film.avi"}},
    {"BrowsedSubtitleIsBurntIn", Avi(kPlayable, [](S& s) { s.form().chkSubs.SetValue(1); s.form().strSubBrowse = s.sourceDir.str() + "/browsed.srt"; }), {kSubFont + kXvid + R"( -vf harddup  "{src}" -noskip -sub "{srcdir}/browsed.srt")"}, {}, {"QL_Film.avi"}},
    // The repaired file decides.
    {"RepairWritesNothing", Avi(kQpel, [](S& s) { EncoderWrites(s, nullptr); }), {kTestEncode, kInfo, kVideoRepair}, {kNotCreated}, {}},
    {"RepairWritesAnEmptyFile", Avi(kQpel, [](S& s) { EncoderWrites(s, ""); }), {kTestEncode, kInfo, kVideoRepair}, {kNotCreated}, {"QL_Film.avi"}},
    {"SubtitlesTickedNoneFound", Avi(kQpel, [](S& s) { s.form().chkSubs.SetValue(1); }), {kTestEncode, kInfo}, {kNotCreated}, {}},
    {"EarlierRepairedFileComesBack", Avi(kQpel, [](S& s) { WriteFile(s.Out("QL_Film.avi"), "earlier"); EncoderWrites(s, nullptr); }), {kTestEncode, kInfo, kVideoRepair}, {kNotCreated}, {"QL_Film.avi:earlier"}},
};
// clang-format on

class AviRoad : public ::testing::TestWithParam<Scenario> {};

TEST_P(AviRoad, ChecksAndRepairs) {
  S s;
  s.Check(GetParam());
  for (const ToolCall& call : s.runner.calls)  // the check's own tools are captured
    if (!call.commandLine.starts_with("ffprobe "))
      EXPECT_EQ(call.kind, call.commandLine.find("QL_") == std::string::npos ? CallKind::Capture
                                                                             : CallKind::Run);
  EXPECT_TRUE(s.Commands().size() != 5 || s.Logged("gave no report"));
}

INSTANTIATE_TEST_SUITE_P(Rows, AviRoad, ::testing::ValuesIn(kAvi), RowName());

// Blanks in the program and output folders stay inside their quotes; a test file of an
// earlier check is not read when this test encode writes nothing.
TEST(AviRoad, QuotesEveryPathAndReadsOnlyItsOwnTestFile) {
  for (bool encoderWrites : {true, false}) {
    S s;
    AviSource(s, kPlayable);
    const fs::path blanks = s.outputDir.path() / "my films";
    WriteFile(blanks / "test.avi", "old");
    if (!encoderWrites) s.LeavesNothing("mencoder.exe");
    bool testFileThere = false;
    s.runner.On("mmcl.exe", [&](const Argv& a) {
      testFileThere = Holds(a.back());
      return testFileThere ? kPlayable : std::string("Error: cannot read the file\n");
    });
    const std::string info = s.programDir.str() + "/check er/mmcl.exe";
    EXPECT_EQ(CheckAvi(s.app, s.source, info, blanks.string() + "/"), encoderWrites);
    EXPECT_EQ(testFileThere, encoderWrites);
    EXPECT_EQ(s.Commands().back(), "\"" + info + "\" --info \"" + blanks.string() + "/test.avi\"");
    EXPECT_FALSE(fs::exists(blanks / "test.avi"));
  }
}

// Shutdown after a single file, never inside a folder run, where no box waits either.
TEST(AviRoad, RepairShutsDownOnlyOutsideFolderRuns) {
  for (bool folderMode : {false, true}) {
    S s;
    AviSource(s, kQpel);
    s.form().chkShutDown.SetValue(1);
    s.app.bFolderMode = folderMode;
    EncoderWrites(s, nullptr);
    RecodeAviVideo(s.app);
    EXPECT_EQ(s.power.shutdowns, folderMode ? 0 : 1);
    EXPECT_EQ(s.ui.boxes.size(), folderMode ? 0u : 1u);
    EXPECT_TRUE(s.Logged("QL_Film.avi was not created"));
  }
}

constexpr const char* kMkvPrompt = "Please select a folder with MKV files to be converted.";
constexpr const char* kAviPrompt = "Please select a folder with AVI files to be checked/converted.";
constexpr const char* kWhere = " (4): Store resulting files in source folder ?";  // no title

// A folder of sources, and what the window showed at each repaint.
struct FolderRun : S, ::testing::Test {
  FolderRun() {
    runner.On("mkvinfo.exe", [this](const Argv& a) {  // the files converted, in order
      inspected.push_back(fs::path(a[1]).filename());
      WriteFile(a.back(), ReportFixture("h264_ac3.txt"));
      return std::string();
    });
    RecordShown();
  }
  std::string Source(const std::string& name) const { return (sourceDir.path() / name).string(); }
  void MakeSources(const Lines& names) {
    for (const std::string& name : names) WriteFile(Source(name), "source " + name);
  }
  // The user picks the source folder and answers where results go.
  void Answers(int where) {
    ui.folderAnswers.push_back(sourceDir.str());
    ui.boxAnswers.push_back(where);
  }
  Lines inspected;
};

TEST_F(FolderRun, ConvertsTheMatroskaFilesInListOrderAndSkipsTheOnesDone) {
  MakeSources({"c film.mkv", "A film.mkv", "b film.mkv", "notes.txt"});
  WriteFile(Out("b film.mp4"), "earlier result");
  Answers(MsgResult::kNo);
  folderMKV(app);
  EXPECT_EQ(ui.folderPrompts, Lines{kMkvPrompt});
  EXPECT_EQ(Boxes(), Lines{kWhere});
  EXPECT_EQ(inspected, (Lines{"A film.mkv", "c film.mkv"}));
  EXPECT_EQ(OutputNames(), (Lines{"A film.mp4", "b film.mp4", "c film.mp4"}));
  EXPECT_EQ(ReadFile(Out("b film.mp4")), "earlier result");
  EXPECT_EQ(shown,
            (Lines{"1 of 3", "film 1 of 3", "2 of 3", "film 2 of 3", "3 of 3", "film 3 of 3"}));
  EXPECT_FALSE(form().lblMulti.Visible);
  EXPECT_EQ(OverallPosition(form().progress), "");
  EXPECT_EQ(form().txtProgress.Text, "Conversion done");
  EXPECT_EQ(form().txtTMP.Text, outputDir.withSep());  // "No" keeps the output folder
  EXPECT_TRUE(app.bFolderMode);

  // A second run over the same folder finds everything done.
  runner.calls.clear();
  Answers(MsgResult::kNo);
  folderMKV(app);
  EXPECT_TRUE(runner.calls.empty());
}

TEST_F(FolderRun, YesStoresTheResultsInTheSourceFolderAndKeepsItAsOutputFolder) {
  MakeSources({"film.mkv"});
  Answers(MsgResult::kYes);
  folderMKV(app);
  EXPECT_TRUE(fs::exists(Source("film.mp4")));
  EXPECT_EQ(OutputNames(), Lines{});
  EXPECT_EQ(form().txtTMP.Text, sourceDir.withSep());
  EXPECT_EQ(form().strFullname, Source("film.mkv"));  // one separator, not two
  // The result in the source folder now marks the file as done.
  runner.calls.clear();
  Answers(MsgResult::kYes);
  folderMKV(app);
  EXPECT_TRUE(runner.calls.empty());
}

// A failed file is named and the run goes on; the last file's "Conversion done" does not
// stand for the folder. An empty earlier result does not mark its file done. The machine
// shuts down once, after the last file.
TEST_F(FolderRun, FailuresAreCountedAndTheMachineShutsDownOnceAtTheEnd) {
  MakeSources({"a.mkv", "b.mkv", "c.mkv"});
  WriteFile(Out("b.mp4"), "");
  form().chkShutDown.SetValue(1);
  int shutdownsDuringRun = 0;
  for (const char* muxer : {"MP4Box.exe", "mp4creator.exe"})  // nothing of the first file
    runner.On(muxer, [&](const Argv& a) {
      shutdownsDuringRun += power.shutdowns;
      for (const std::string& arg : a)
        if (arg.ends_with(".mp4") && arg != Out("a.mp4")) WriteFile(arg, "mp4");
      return std::string();
    });
  Answers(MsgResult::kNo);
  folderMKV(app);
  EXPECT_EQ(inspected, (Lines{"a.mkv", "b.mkv", "c.mkv"}));
  EXPECT_EQ(OutputNames(), (Lines{"b.mp4", "c.mp4"}));
  EXPECT_EQ(form().txtProgress.Text, "Folder conversion: 1 of 3 files failed (see debug.log).");
  EXPECT_TRUE(Logged("Folder conversion: not converted: " + Source("a.mkv")));
  EXPECT_EQ(shutdownsDuringRun, 0);
  EXPECT_EQ(power.shutdowns, 1);
}

// Each file starts from the recode choice the user made, whatever the previous file's
// inspection ticked, and gets "Embed subs" only when it has subtitles.
TEST_F(FolderRun, EachFileStartsFromTheUsersOptions) {
  MakeSources({"a.mkv", "b.mkv", "c.mkv"});
  Lines seen;  // file, recode and subtitle choice when it is converted
  runner.On("mkvinfo.exe", [&](const Argv& a) {
    WriteFile(a.back(),
              ReportFixture(a[1] == Source("b.mkv") ? "multi_audio.txt" : "h264_ac3.txt"));
    seen.push_back(fs::path(a[1]).filename().string() + " recode " +
                   std::to_string(form().chkMP2.Value));
    return std::string();
  });
  // The stream checker fails the first file: its inspection ticks "recode".
  runner.On("x264_checker.exe", [&](const Argv& a) {
    return std::string(a[1] == Source("a.mkv") ? "dpb check: [FAILED]" : "dpb check: [OK]");
  });
  std::map<std::string, int> subs;  // "Embed subs" while each file is converted
  ui.onRepaint = [&] { subs[fs::path(form().txtFile.Text).filename()] = form().chkSubs.Value; };
  form().chkSubs.Visible = true;
  form().chkSubs.SetValue(1);
  Answers(MsgResult::kNo);
  folderMKV(app);
  EXPECT_EQ(seen, (Lines{"a.mkv recode 0", "b.mkv recode 0", "c.mkv recode 0"}));
  subs.erase("");  // before the first file
  EXPECT_EQ(subs, (std::map<std::string, int>{{"a.mkv", 0}, {"b.mkv", 1}, {"c.mkv", 0}}));
  // The first file was re-encoded, the others not.
  Lines encoded;
  for (const std::string& line : Commands())
    if (line.find("Mencoder.exe") != std::string::npos)
      encoded.push_back(line.substr(line.rfind(".mkv") - 1, 1));
  EXPECT_EQ(encoded, Lines{"a"});
}

// The recode format the AVCHD choice put aside survives a folder run.
TEST_F(FolderRun, TheRecodeFormatPutAsideForAvchdSurvivesTheRun) {
  form().cmdConv.SetListIndex(2);  // Xvid
  form().chkAVCHD.SetValue(1);
  EXPECT_EQ(form().cmdConv.Text(), "H264");
  MakeSources({"film.mkv"});
  WriteFile(Out("film.mpg"), "earlier result");
  Answers(MsgResult::kNo);
  folderMKV(app);
  EXPECT_TRUE(runner.calls.empty());
  form().chkAVCHD.SetValue(0);
  EXPECT_EQ(form().cmdConv.Text(), "Xvid");
}

// AVI folders go down the AVI road: the check copies the start of each file and asks the
// information tool; only a file it finds unplayable is repaired.
struct AviFolder : FolderRun {
  AviFolder() {
    runner.On("mmcl.exe", [this](const Argv& a) {
      return std::string(ReadFile(a.back()).find("qpel") != std::string::npos ? kQpel : kPlayable);
    });
    runner.On("ncoder.exe", [this](const Argv& a) {  // both encoder slots copy their source
      const std::string out = *(std::find(a.begin(), a.end(), "-o") + 1);
      for (const std::string& arg : a)
        if (arg != out && arg.starts_with(sourceDir.str()) &&
            (repairs || out.ends_with("test.avi"))) {
          WriteFile(out, ReadFile(arg));
          encoded.push_back(FileNameFromPath(out) + " of " + FileNameFromPath(arg));
        }
      return std::string();
    });
  }
  Lines encoded;  // what the encoders wrote, of which source
  bool repairs = true;
};

TEST_F(AviFolder, RepairsOnlyWhatNeedsItAndNeverTouchesRepairedCopies) {
  WriteFile(Source("a.avi"), "avi with qpel");
  WriteFile(Source("b.avi"), "avi with qpel");
  WriteFile(Source("QL_b.avi"), "repaired earlier");
  WriteFile(Source("c.avi"), "plain avi");
  WriteFile(Source("QL_d.avi"), "a repaired copy whose source is gone, qpel");
  fs::create_directory(Source("e.avi"));  // a folder, not a file
  form().chkShutDown.SetValue(1);
  Answers(MsgResult::kYes);
  folderAVI(app);
  EXPECT_EQ(ui.folderPrompts, Lines{kAviPrompt});
  EXPECT_EQ(Boxes(), Lines{kWhere});
  EXPECT_EQ(encoded, (Lines{"test.avi of a.avi", "QL_a.avi of a.avi", "test.avi of c.avi"}));
  EXPECT_EQ(ReadFile(Source("QL_b.avi")), "repaired earlier");
  EXPECT_EQ(shown.size(), 10u);  // 5 files, each counted and placed
  EXPECT_EQ(form().txtProgress.Text, "Folder Conversion done");
  EXPECT_EQ(form().txtTMP.Text, sourceDir.withSep());
  EXPECT_EQ(power.shutdowns, 1);
}

// "No" looks for repaired copies in the output folder; a repair that leaves no copy is
// counted as failed.
TEST_F(AviFolder, AnswerNoLooksInTheOutputFolderAndCountsFailedRepairs) {
  WriteFile(Source("a.avi"), "avi with qpel");
  WriteFile(Source("b.avi"), "avi with qpel");
  WriteFile(Out("QL_b.avi"), "repaired earlier");
  repairs = false;
  Answers(MsgResult::kNo);
  folderAVI(app);
  EXPECT_EQ(encoded, Lines{"test.avi of a.avi"});
  EXPECT_EQ(OutputNames(), Lines{"QL_b.avi"});
  EXPECT_EQ(form().txtTMP.Text, outputDir.withSep());
  EXPECT_EQ(form().txtProgress.Text, "Folder conversion: 1 of 2 files failed (see debug.log).");
}

}  // namespace
}  // namespace quillet::test
