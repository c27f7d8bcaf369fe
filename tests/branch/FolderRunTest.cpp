// Folder runs with scripted tools and dialogs: which files of a folder are converted or
// repaired, in which order, what the window shows meanwhile, where the results go, which
// options each file starts with, and the one shutdown at the end.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/AppTools.h"
#include "app/Program.h"
#include "app/StepProgress.h"
#include "app/Ui.h"
#include "batch/FolderConversion.h"
#include "tests/support/ConvertScaffold.h"
#include "tests/support/ReportFixtures.h"
#include "base/Files.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

constexpr const char* kMkvPrompt = "Please select a folder with MKV files to be converted.";
constexpr const char* kAviPrompt = "Please select a folder with AVI files to be checked/converted.";
constexpr const char* kWhereQuestion = "Store resulting files in source folder ?";

// A folder of sources beside the scaffold's output folder, the MP4 road's tools scripted,
// and a record of what the window showed at each repaint.
struct FolderRunTest : ConvertScaffold, ::testing::Test {
  FolderRunTest() {
    ScriptStandardTools();
    ScriptReportTool(runner, ReportFixture("h264_ac3.txt"));
    ui.onRepaint = [this] {
      const Form1& f = form();
      if (f.lblMulti.Visible && (counters.empty() || counters.back() != f.lblMulti.Caption))
        counters.push_back(f.lblMulti.Caption);
      const std::string position = OverallPosition(f.progress);
      if (!position.empty() && (positions.empty() || positions.back() != position))
        positions.push_back(position);
    };
  }

  std::string Source(const std::string& name) const { return (sourceDir.path() / name).string(); }
  void MakeSources(const std::vector<std::string>& names) {
    for (const std::string& name : names) WriteFile(Source(name), "source " + name);
  }
  // The user picks the source folder and answers the question where results go.
  void Answers(int where) {
    ui.folderAnswers.push_back(sourceDir.str());
    ui.boxAnswers.push_back(where);
  }
  // The sources the report tool was run on, in order: the files that were converted.
  std::vector<std::string> Inspected() const {
    std::vector<std::string> seen;
    for (const std::string& line : runner.CommandLines())
      if (line.find("mkvinfo.exe") != std::string::npos)
        for (const auto& entry : fs::directory_iterator(sourceDir.path()))
          if (line.find("\"" + entry.path().string() + "\"") != std::string::npos)
            seen.push_back(entry.path().filename().string());
    return seen;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : ui.boxes) texts.push_back(box.text);
    return texts;
  }

  // A muxer that makes the MP4 it is asked for, unless it is `refused`.
  FakeToolRunner::Action MuxerExcept(const std::string& refused) {
    return [this, refused](const Argv& argv) {
      for (const std::string& arg : argv)
        if (arg.size() > 4 && arg.substr(arg.size() - 4) == ".mp4" && arg != refused) {
          WriteFile(arg, "mp4");
          ++muxed;
        }
      return std::string();
    };
  }

  std::vector<std::string> counters;   // lblMulti's captions, as shown
  std::vector<std::string> positions;  // the overall position beside the progress, as shown
  int muxed = 0;
};

TEST_F(FolderRunTest, ConvertsTheMatroskaFilesInListOrderAndSkipsTheOneAlreadyDone) {
  MakeSources({"c film.mkv", "A film.mkv", "b film.mkv", "notes.txt"});
  WriteFile(Out("b film.mp4"), "earlier result");
  Answers(MsgResult::kNo);

  folderMKV(app);

  EXPECT_EQ(ui.folderPrompts, std::vector<std::string>{kMkvPrompt});
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, kWhereQuestion);
  EXPECT_EQ(ui.boxes[0].style, MsgStyle::kYesNo);
  EXPECT_EQ(ui.boxes[0].title, "");  // the program's title
  EXPECT_EQ(Inspected(), (std::vector<std::string>{"A film.mkv", "c film.mkv"}));
  EXPECT_EQ(ReadFile(Out("A film.mp4")).find("[track "), 0u);
  EXPECT_EQ(ReadFile(Out("c film.mp4")).find("[track "), 0u);
  EXPECT_EQ(ReadFile(Out("b film.mp4")), "earlier result");
  EXPECT_EQ(counters, (std::vector<std::string>{"1 of 3", "2 of 3", "3 of 3"}));
  EXPECT_EQ(positions, (std::vector<std::string>{"film 1 of 3", "film 2 of 3", "film 3 of 3"}));
  EXPECT_EQ(OverallPosition(form().progress), "");
  EXPECT_FALSE(form().lblMulti.Visible);
  EXPECT_EQ(form().txtProgress.Text, "Conversion done");
  EXPECT_EQ(form().txtTMP.Text, outputDir.withSep());  // "No" keeps the output folder
  EXPECT_TRUE(app.bFolderMode);

  // A second run over the same folder finds everything done.
  runner.calls.clear();
  counters.clear();
  Answers(MsgResult::kNo);
  folderMKV(app);
  EXPECT_TRUE(runner.calls.empty());
  EXPECT_EQ(counters, (std::vector<std::string>{"1 of 3", "2 of 3", "3 of 3"}));
}

TEST_F(FolderRunTest, YesStoresTheResultsInTheSourceFolderAndKeepsItAsOutputFolder) {
  MakeSources({"film.mkv"});
  Answers(MsgResult::kYes);
  folderMKV(app);
  EXPECT_TRUE(fs::exists(Source("film.mp4")));
  EXPECT_FALSE(OutputHas("film.mp4"));
  EXPECT_EQ(form().txtTMP.Text, sourceDir.withSep());
  EXPECT_EQ(form().strFullname, Source("film.mkv"));  // one separator, not two
  EXPECT_EQ(counters, std::vector<std::string>{"1 of 1"});

  // The result in the source folder now marks the file as done.
  runner.calls.clear();
  Answers(MsgResult::kYes);
  folderMKV(app);
  EXPECT_TRUE(runner.calls.empty());
}

TEST_F(FolderRunTest, ACancelledPickerOrAFolderWithoutFilesConvertsNothingAndAsksNothing) {
  form().chkShutDown.SetValue(1);
  folderMKV(app);  // no folder answer: cancelled
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(form().txtProgress.Text, "progress......");

  MakeSources({"film.avi"});
  ui.folderAnswers = {sourceDir.str()};
  folderMKV(app);
  EXPECT_EQ(form().txtProgress.Text, "No MKV files found.");
  fs::rename(Source("film.avi"), Source("film.mkv"));
  ui.folderAnswers = {sourceDir.str()};
  folderAVI(app, [](App&) { ADD_FAILURE() << "nothing to check"; });
  EXPECT_EQ(form().txtProgress.Text, "No AVI files found.");

  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_TRUE(runner.calls.empty());
  EXPECT_EQ(power.shutdowns, 0);
  EXPECT_TRUE(app.bFolderMode);
}

TEST_F(FolderRunTest, ShutsDownOnceAfterTheLastFileNotAfterEach) {
  MakeSources({"a.mkv", "b.mkv", "c.mkv"});
  form().chkShutDown.SetValue(1);
  int shutdownsDuringRun = 0;
  runner.On("MP4Box.exe", [&](const Argv& argv) {
    shutdownsDuringRun += power.shutdowns;
    return MuxerExcept("")(argv);
  });
  Answers(MsgResult::kNo);
  folderMKV(app);
  EXPECT_EQ(muxed, 3);
  EXPECT_EQ(shutdownsDuringRun, 0);
  EXPECT_EQ(power.shutdowns, 1);

  form().chkShutDown.SetValue(0);
  Answers(MsgResult::kNo);
  folderMKV(app);
  EXPECT_EQ(power.shutdowns, 1);
}

// Each file starts from the recode choice the user made, whatever the previous file's
// inspection ticked, and gets the "Embed subs" choice only when it has subtitles.
TEST_F(FolderRunTest, EachFileStartsFromTheUsersOptions) {
  MakeSources({"a.mkv", "b.mkv", "c.mkv"});
  const std::string withSubs = ReportFixture("multi_audio.txt");
  const std::string withoutSubs = ReportFixture("h264_ac3.txt");
  struct Seen {
    std::string file;
    int recode;
    int subs;
  };
  std::vector<Seen> seen;
  runner.On("mkvinfo.exe", [&](const Argv& argv) {
    seen.push_back({fs::path(argv[1]).filename().string(), form().chkMP2.Value, -1});
    WriteFile(argv.back(), argv[1] == Source("b.mkv") ? withSubs : withoutSubs);
    return std::string();
  });
  // The stream checker fails the first file: its inspection ticks "recode".
  runner.On("x264_checker.exe", [&](const Argv& argv) {
    return std::string(argv[1] == Source("a.mkv") ? "dpb check: [FAILED]" : "dpb check: [OK]");
  });
  ui.onRepaint = [&] {
    if (!seen.empty() && form().txtFile.Text == Source(seen.back().file))
      seen.back().subs = form().chkSubs.Value;
  };
  form().chkSubs.Visible = true;
  form().chkSubs.SetValue(1);
  Answers(MsgResult::kNo);

  folderMKV(app);

  ASSERT_EQ(seen.size(), 3u);
  for (const Seen& s : seen) EXPECT_EQ(s.recode, 0) << s.file;
  EXPECT_EQ(seen[0].subs, 0);
  EXPECT_EQ(seen[1].subs, 1);
  EXPECT_EQ(seen[2].subs, 0);
  // The first file was re-encoded, the others not.
  int encodes = 0;
  for (const std::string& line : runner.CommandLines())
    if (line.find("Mencoder.exe") != std::string::npos) {
      ++encodes;
      EXPECT_NE(line.find("a.mkv"), std::string::npos) << line;
    }
  EXPECT_GT(encodes, 0);
}

// The recode format the AVCHD choice put aside survives a folder run: unticking AVCHD
// afterwards brings it back.
TEST_F(FolderRunTest, TheRecodeFormatPutAsideForAvchdSurvivesTheRun) {
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

// An empty result is what a failed run leaves behind; it must not mark its source done.
TEST_F(FolderRunTest, AnEmptyEarlierResultDoesNotMarkTheFileDone) {
  MakeSources({"film.mkv"});
  WriteFile(Out("film.mp4"), "");
  Answers(MsgResult::kNo);
  folderMKV(app);
  EXPECT_EQ(Inspected(), std::vector<std::string>{"film.mkv"});
  EXPECT_NE(ReadFile(Out("film.mp4")), "");
}

// The last file's "Conversion done" must not stand for a folder in which one failed.
TEST_F(FolderRunTest, AFileThatFailsIsNamedAndTheRunGoesOn) {
  MakeSources({"a.mkv", "b.mkv", "c.mkv"});
  // Neither muxer makes anything of the first file.
  for (const char* muxer : {"MP4Box.exe", "mp4creator.exe"})
    runner.On(muxer, MuxerExcept(Out("a.mp4")));
  Answers(MsgResult::kNo);
  folderMKV(app);
  EXPECT_EQ(Inspected(), (std::vector<std::string>{"a.mkv", "b.mkv", "c.mkv"}));
  EXPECT_TRUE(OutputHas("c.mp4"));
  EXPECT_EQ(form().txtProgress.Text, "Folder conversion: 1 of 3 files failed (see debug.log).");
  const std::vector<std::string> log = DebugLogLines();
  EXPECT_NE(
      std::find(log.begin(), log.end(), "Folder conversion: not converted: " + Source("a.mkv")),
      log.end());
}

// --- AVI folders ---

// A stand-in for the AVI road: the information tool decides, the encoder repairs.
void CheckAndRepairWithTools(App& app) {
  const std::string avi = app.form.txtFile.Text;
  const std::string info = GetCommandOutput(
      app, ToolPath(app, "\\checker\\mmcl.exe") + " --info \"" + avi + "\"", true, false, true);
  if (info.find("QPel:              Yes") == std::string::npos) return;
  SetProgress(app, "Converting file");
  RunTool(app, "\"" + ToolPath(app, "\\Mencoder\\Mencoder.exe") + "\" -o \"" +
                   app.form.txtTMP.Text + "QL_" + FileNameFromPath(avi) + "\" \"" + avi + "\"");
  SetProgress(app, "Conversion done.");
}

struct AviFolderTest : FolderRunTest {
  AviFolderTest() {
    runner.On("mmcl.exe", [this](const Argv& argv) {
      checked.push_back(FileNameFromPath(argv.back()));
      const bool qpel = ReadFile(argv.back()).find("qpel") != std::string::npos;
      return std::string(qpel ? "QPel:              Yes" : "QPel:              No") +
             "\r\nGMC:               No\r\n";
    });
    runner.On("Mencoder.exe", [this](const Argv& argv) {
      if (repairs) WriteFile(argv[2], "repaired " + argv[3]);
      return std::string();
    });
  }
  std::vector<std::string> checked;  // the files the information tool was run on
  bool repairs = true;
};

TEST_F(AviFolderTest, RepairsOnlyWhatNeedsItAndNeverTouchesRepairedCopies) {
  WriteFile(Source("a.avi"), "avi with qpel");
  WriteFile(Source("b.avi"), "avi with qpel");
  WriteFile(Source("QL_b.avi"), "repaired earlier");
  WriteFile(Source("c.avi"), "plain avi");
  WriteFile(Source("QL_d.avi"), "a repaired copy whose source is gone, qpel");
  fs::create_directory(Source("e.avi"));  // a folder, not a file
  form().chkShutDown.SetValue(1);
  Answers(MsgResult::kYes);

  folderAVI(app, CheckAndRepairWithTools);

  EXPECT_EQ(ui.folderPrompts, std::vector<std::string>{kAviPrompt});
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kWhereQuestion});
  EXPECT_EQ(checked, (std::vector<std::string>{"a.avi", "c.avi"}));
  EXPECT_EQ(ReadFile(Source("QL_a.avi")), "repaired " + Source("a.avi"));
  EXPECT_EQ(ReadFile(Source("QL_b.avi")), "repaired earlier");
  EXPECT_FALSE(fs::exists(Source("QL_c.avi")));
  EXPECT_FALSE(fs::exists(Source("QL_QL_d.avi")));
  EXPECT_EQ(counters, (std::vector<std::string>{"1 of 5", "2 of 5", "3 of 5", "4 of 5", "5 of 5"}));
  EXPECT_FALSE(form().lblMulti.Visible);
  EXPECT_EQ(form().txtProgress.Text, "Folder Conversion done");
  EXPECT_EQ(form().txtTMP.Text, sourceDir.withSep());
  EXPECT_EQ(power.shutdowns, 1);
}

TEST_F(AviFolderTest, AnswerNoLooksForRepairedCopiesInTheOutputFolder) {
  WriteFile(Source("a.avi"), "avi with qpel");
  WriteFile(Source("b.avi"), "avi with qpel");
  WriteFile(Out("QL_b.avi"), "repaired earlier");
  Answers(MsgResult::kNo);
  folderAVI(app, CheckAndRepairWithTools);
  EXPECT_EQ(checked, std::vector<std::string>{"a.avi"});
  EXPECT_TRUE(OutputHas("QL_a.avi"));
  EXPECT_EQ(form().txtTMP.Text, outputDir.withSep());
  EXPECT_EQ(power.shutdowns, 0);
}

TEST_F(AviFolderTest, ARepairThatLeavesNoCopyIsNotReportedAsDone) {
  WriteFile(Source("a.avi"), "avi with qpel");
  WriteFile(Source("c.avi"), "plain avi");
  repairs = false;
  Answers(MsgResult::kNo);
  folderAVI(app, CheckAndRepairWithTools);
  EXPECT_EQ(checked, (std::vector<std::string>{"a.avi", "c.avi"}));
  EXPECT_EQ(form().txtProgress.Text, "Folder conversion: 1 of 2 files failed (see debug.log).");
}

// Each AVI goes down the "Convert" button's road for AVI sources with its own path as
// the source; the source type the user chose stays for later conversions.
// The default step: the check copies the start of each file and asks the information
// tool; only a file it finds unplayable is repaired, and a playable one is left alone
// (no sound re-encode, unlike the "Convert" button).
TEST_F(AviFolderTest, TheDefaultStepRepairsOnlyWhatTheCheckFindsUnplayable) {
  WriteFile(Source("a.avi"), "avi with qpel");
  WriteFile(Source("b.avi"), "plain avi");
  std::vector<std::string> encoded;
  // Both encoder slots write their -o file from the source they are given.
  runner.On("ncoder.exe", [&](const Argv& argv) {
    const auto o = std::find(argv.begin(), argv.end(), "-o");
    for (const std::string& arg : argv)
      if (arg.rfind(sourceDir.str(), 0) == 0 && o + 1 < argv.end()) {
        WriteFile(*(o + 1), ReadFile(arg));
        encoded.push_back(FileNameFromPath(*(o + 1)));
      }
    return std::string();
  });
  Answers(MsgResult::kNo);
  folderAVI(app);
  EXPECT_EQ(encoded, (std::vector<std::string>{"test.avi", "QL_a.avi", "test.avi"}));
  EXPECT_EQ(checked, (std::vector<std::string>{"test.avi", "test.avi"}));
  EXPECT_TRUE(OutputHas("QL_a.avi"));
  EXPECT_FALSE(OutputHas("QL_b.avi"));
  EXPECT_EQ(form().txtProgress.Text, "Folder Conversion done");
}

// --- The "Folder" button and its window ---

TEST_F(FolderRunTest, TheFolderButtonOffersTheChoiceExceptOnTheXbox360) {
  for (int platform : {0, 2}) {
    form().cmbPlatform.SetListIndex(platform);
    cmdFolder_Click(app);
    EXPECT_TRUE(app.frmFolder.Visible) << platform;
    EXPECT_TRUE(ui.folderWindowShown) << platform;
    EXPECT_TRUE(ui.folderPrompts.empty()) << platform;
  }
  frmFolder_cmdMKV_Click(app);
  EXPECT_FALSE(app.frmFolder.Visible);
  EXPECT_FALSE(ui.folderWindowShown);
  cmdFolder_Click(app);  // shown again after a choice
  EXPECT_TRUE(ui.folderWindowShown);
  frmFolder_Command2_Click(app);
  EXPECT_FALSE(ui.folderWindowShown);
  EXPECT_EQ(ui.folderPrompts, (std::vector<std::string>{kMkvPrompt, kAviPrompt}));

  form().cmbPlatform.SetListIndex(1);  // Xbox 360
  const int shows = ui.folderWindowShows;
  cmdFolder_Click(app);
  EXPECT_EQ(ui.folderWindowShows, shows);
  EXPECT_FALSE(app.frmFolder.Visible);
  EXPECT_EQ(ui.folderPrompts.back(), kMkvPrompt);
  EXPECT_EQ(ui.folderPrompts.size(), 3u);
}

TEST(FolderForm, CaptionsOfTheFolderWindow) {
  const FolderForm form;
  EXPECT_EQ(form.Caption, "Folder conversion");
  EXPECT_EQ(form.cmdMKV.Caption, "MKV folder");
  EXPECT_EQ(form.Command2.Caption, "AVI Folder");
  EXPECT_FALSE(form.Visible);
}

}  // namespace
}  // namespace quillet::test
