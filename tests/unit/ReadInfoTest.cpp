// Inspecting a chosen source: the report tool and checker command lines, the VC-1 option
// rule and the warning about H.264 streams the players cannot decode.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/Ui.h"
#include "inspect/ReadInfo.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

constexpr const char* kSource = "/videos/My Film (2009).mkv";

constexpr const char* kDpbWarning =
    "This AVC file is not playable on PS3 (black screen) or 360 (extreme artifacts).\r"
    "Recode to Xvid(both), MPEG2(PS3) or h264(both), to be able to play this file.\r"
    "The normal output format (MP4/AVCHD/M2TS) is  kept when recoding to h264.";

std::string ReportCommand(const TestApp& t) {
  return "\"" + t.programDir.str() + "/MKVToolnix/mkvinfo.exe\" \"" + kSource + "\" -o \"" +
         t.outputDir.str() + "/info." + std::to_string(getpid()) + ".txt\"";
}

constexpr const char* kCheckerFailed =
    "x264 checker 0.3\r\nlevel check: [OK]\r\ndpb check: [FAILED]\r\nref frames: 16\r\n";
constexpr const char* kCheckerPassed =
    "x264 checker 0.3\r\nlevel check: [OK]\r\ndpb check: [OK]\r\nref frames: 4\r\n";

class ReadInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The output folder as typed, without its trailing separator.
    t.form().txtTMP.Text = t.outputDir.str();
  }

  std::string CheckerCommand() const {
    return "\"" + t.programDir.str() + "/Checker/x264_checker.exe\" \"" + kSource + "\"";
  }

  TestApp t;
};

TEST_F(ReadInfoTest, RunsTheReportToolIntoTheOutputFolderThenTheChecker) {
  ScriptReportTool(t.runner, ReportFixture("h264_ac3.txt"));
  t.runner.Prints("x264_checker.exe", kCheckerPassed);

  ReadInfo(t.app, std::string("  ") + kSource + "  ");

  EXPECT_EQ(t.form().txtTMP.Text, t.outputDir.withSep());
  ASSERT_EQ(t.runner.calls.size(), 2u);
  EXPECT_EQ(t.runner.calls[0].kind, CallKind::Capture);
  EXPECT_EQ(t.runner.calls[0].commandLine, ReportCommand(t));
  EXPECT_EQ(t.runner.calls[1].kind, CallKind::Capture);
  EXPECT_EQ(t.runner.calls[1].commandLine, CheckerCommand());

  // The report was parsed and removed.
  EXPECT_EQ(t.app.report.strVideoCodec, "avc");
  EXPECT_EQ(t.app.report.strAudioTracks.count, 1);
  EXPECT_FALSE(std::filesystem::exists(ReportPath(t.app)));

  // A stream that passes the check changes no option.
  EXPECT_TRUE(t.ui.boxes.empty());
  const Form1& f = t.form();
  EXPECT_EQ(f.chkMP2.Value, 0);
  for (const CheckBox* c : {&f.chkVob, &f.chk25, &f.chkFF, &f.chkMP2}) EXPECT_TRUE(c->Enabled);
}

TEST_F(ReadInfoTest, OutputFolderWithItsSeparatorIsKeptAsItIs) {
  t.form().txtTMP.Text = t.outputDir.withSep();
  ReadInfo(t.app, kSource);
  EXPECT_EQ(t.form().txtTMP.Text, t.outputDir.withSep());
  EXPECT_EQ(t.runner.calls.at(0).commandLine, ReportCommand(t));
}

struct RunKind {
  const char* name;
  bool folderMode;
  bool commandLine;
  bool split;
  bool warns;
};

class ReadInfoDpbCheck : public ReadInfoTest, public ::testing::WithParamInterface<RunKind> {};

TEST_P(ReadInfoDpbCheck, FailedStreamTicksRecodeAndWarnsOnlyWhenTheUserIsThere) {
  const RunKind& run = GetParam();
  t.app.bFolderMode = run.folderMode;
  t.app.bCommandLine = run.commandLine;
  t.form().bSplit = run.split;
  ScriptReportTool(t.runner, ReportFixture("h264_ac3.txt"));
  t.runner.Prints("x264_checker.exe", kCheckerFailed);

  ReadInfo(t.app, kSource);

  if (run.warns) {
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].text, kDpbWarning);
    EXPECT_EQ(t.ui.boxes[0].style, MsgStyle::kOkOnly);
    EXPECT_EQ(t.ui.boxes[0].title, kProgramTitle);
  } else {
    EXPECT_TRUE(t.ui.boxes.empty());
  }
  // Recoding is switched on in every kind of run, and its click rule ran.
  const Form1& f = t.form();
  EXPECT_EQ(f.chkMP2.Value, 1);
  EXPECT_FALSE(f.chk25.Enabled);
  EXPECT_TRUE(f.chkSubs.Enabled);
}

// Ticking "MPEG2 Recode" with no format chosen would re-encode nothing: H264 is taken,
// as the warning promises; a format the user chose is kept.
TEST_F(ReadInfoTest, AFailedStreamWithNoFormatChosenIsRecodedToH264) {
  const std::string logged =
      "Re-encode to: none chosen, H264 taken for the stream that fails the dpb check";
  for (int chosen : {-1, 0, 2, 3}) {
    SCOPED_TRACE(chosen);
    TestApp t;
    t.form().txtTMP.Text = t.outputDir.str();
    t.form().cmdConv.SetListIndex(chosen);
    ScriptReportTool(t.runner, ReportFixture("h264_ac3.txt"));
    t.runner.Prints("x264_checker.exe", kCheckerFailed);

    ReadInfo(t.app, kSource);

    const std::vector<std::string> log = t.DebugLogLines();
    const bool saysSo = std::find(log.begin(), log.end(), logged) != log.end();
    EXPECT_EQ(t.form().cmdConv.ListIndex, chosen < 0 ? 1 : chosen);
    EXPECT_EQ(saysSo, chosen < 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, ReadInfoDpbCheck,
                         ::testing::Values(RunKind{"Window", false, false, false, true},
                                           RunKind{"Folder", true, false, false, false},
                                           RunKind{"CommandLine", false, true, false, false},
                                           RunKind{"SplitPart", false, false, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Neither runs the checker; a VC-1 source locks VOB, 25 fps and Safe Sync.
TEST_F(ReadInfoTest, Vc1AndMpeg2SourcesRunNoChecker) {
  for (const auto& [fixture, codec] :
       {std::pair{"vc1_compat.txt", "vc1"}, {"mpeg2.txt", "mpeg2"}}) {
    SCOPED_TRACE(fixture);
    TestApp t;
    t.form().txtTMP.Text = t.outputDir.str();
    ScriptReportTool(t.runner, ReportFixture(fixture));
    t.runner.Prints("x264_checker.exe", kCheckerFailed);

    ReadInfo(t.app, kSource);

    EXPECT_EQ(t.app.report.strVideoCodec, codec);
    EXPECT_EQ(t.runner.CommandLines(), std::vector<std::string>{ReportCommand(t)});
    const Form1& f = t.form();
    for (const CheckBox* c : {&f.chkVob, &f.chk25, &f.chkFF})
      EXPECT_EQ(c->Enabled, codec != std::string("vc1"));
    EXPECT_TRUE(f.chkMP2.Enabled);
    EXPECT_EQ(f.chkMP2.Value, 0);
    EXPECT_TRUE(t.ui.boxes.empty());
  }
}

TEST_F(ReadInfoTest, ReportToolThatWritesNothingLeavesAnEmptyReport) {
  // A report left behind by an earlier run is not this source's report.
  WriteFile(ReportPath(t.app), ReportFixture("multi_audio.txt"));
  t.runner.Prints("mkvinfo.exe", "Error: Couldn't open input file\r\n");

  ReadInfo(t.app, kSource);

  EXPECT_EQ(t.app.report.strVideoCodec, "");
  EXPECT_EQ(t.app.report.strAudioTracks.count, 0);
  EXPECT_TRUE(t.form().cmbAudio.Items.empty());
  EXPECT_EQ(t.runner.calls.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(ReportPath(t.app)));
}

}  // namespace
}  // namespace quillet::test
