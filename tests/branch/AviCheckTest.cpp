// The AVI road: the check's command lines and its reading of the report, the bound on the
// information runs, the two repairs' command lines and the check of the repaired file.

#include <gtest/gtest.h>

#include <filesystem>

#include "convert/PathNames.h"
#include "sources/Sources.h"
#include "tests/support/ConvertScaffold.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

// clang-format off
const char* const kTestEncode = R"("{app}/mencoder/mencoder.exe" -endpos 10mb -ovc copy -oac copy "{src}" -o "{out}test.avi")";
const char* const kInfo = R"("{app}/checker/mmcl.exe" --info "{out}test.avi")";
const char* const kAudioRepair = R"("{app}/Mencoder/Mencoder.exe" -oac mp3lame -srate 48000 -lameopts cbr:br=160:mode=1 -of avi -o "{out}QL_Film.avi" -ovc copy "{src}")";
const std::string kProfile = ":max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:nochroma_opt:hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel";
const std::string kSubFont = R"( -oac copy -mc 0 -font "{app}/Mencoder/font.ttf" -utf8 -subwidth 90 -of avi -o "{out}QL_Film.avi")";
const std::string kVideoRepair = R"("{app}/Mencoder/Mencoder.exe" -oac copy -mc 0 -of avi -o "{out}QL_Film.avi" -ovc xvid -xvidencopts bitrate=-716800)" + kProfile + R"( -vf harddup "{src}" -noskip)";
const std::string kVideoRepairSrtBeside = R"("{app}/Mencoder/Mencoder.exe")" + kSubFont + " -ovc xvid -xvidencopts bitrate=-716800" + kProfile + R"(  -vf harddup "{src}" -noskip -sub "{srcdir}/Film.srt")";
const std::string kVideoRepairBrowsed = R"("{app}/Mencoder/Mencoder.exe")" + kSubFont + " -ovc xvid -xvidencopts bitrate=-716800" + kProfile + R"( -vf harddup  "{src}" -noskip -sub "{srcdir}/browsed.srt")";
const char* const kPlayable = "Video\nCodec ID:          XVID\nQPel:              No\nGMC:               No\n";
const char* const kQpel = "Video\nCodec ID:          XVID\nQPel:              Yes\nGMC:               No\n";
const char* const kGmc = "Video\nCodec ID:          XVID\nQPel:              No\nGMC:               Yes\n";
const char* const kDivx3 = "Video\nCodec ID:          DIV3\nQPel:              Yes\nGMC:               Yes\n";
const char* const kUnreadable = "Error: cannot read the file\n";
// clang-format on

std::string After(const Argv& argv, const std::string& option) {
  for (size_t i = 1; i + 1 < argv.size(); ++i)
    if (argv[i] == option) return argv[i + 1];
  return "";
}

bool Holds(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0;
}

// "Film.avi" of 734,003,200 bytes (sparse), the encoder writing its -o file from any AVI
// it is given, and the information tool printing `report`.
struct AviRun : ConvertScaffold {
  explicit AviRun(const std::string& report = kPlayable) {
    source = (sourceDir.path() / "Film.avi").string();
    MakeSource(734003200);
    form().strType = "avi";
    form().strSubOpts = "-subwidth 90";
    runner.On("mencoder.exe", [this](const Argv& a) {
      for (const std::string& arg : a)
        if (arg == source && Holds(arg)) WriteFile(After(a, "-o"), "avi of " + arg);
      return std::string();
    });
    runner.Prints("mmcl.exe", report);
  }
  std::string Xs(const std::string& text) const {
    std::string out = X(text);
    for (size_t at = out.find("{srcdir}"); at != std::string::npos; at = out.find("{srcdir}"))
      out.replace(at, 8, sourceDir.str());
    return out;
  }
  bool LogHas(const std::string& part) const {
    for (const std::string& line : DebugLogLines())
      if (line.find(part) != std::string::npos) return true;
    return false;
  }
  int InfoRuns() const {
    int runs = 0;
    for (const std::string& line : Commands()) runs += line.find("mmcl.exe") != std::string::npos;
    return runs;
  }
};

// The report decides the repair; the check's own lines are captured, the repair is run.
TEST(AviCheck, TheReportChoosesTheRepair) {
  struct Case {
    const char* name;
    const char* report;
    bool playable;
  };
  const Case cases[] = {
      {"neither QPel nor GMC", kPlayable, true},
      {"quarter-pixel motion", kQpel, false},
      {"global motion", kGmc, false},
      {"DivX 3 whatever it says", kDivx3, true},
      {"a file it cannot read", kUnreadable, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AviRun run(c.report);
    run.Convert();
    const std::vector<std::string> expected = run.X(
        std::vector<std::string>{kTestEncode, kInfo, c.playable ? kAudioRepair : kVideoRepair});
    EXPECT_EQ(run.Commands(), expected);
    ASSERT_EQ(run.runner.calls.size(), 3u);
    EXPECT_EQ(run.runner.calls[0].kind, CallKind::Capture);
    EXPECT_EQ(run.runner.calls[1].kind, CallKind::Capture);
    EXPECT_EQ(run.runner.calls[2].kind, CallKind::Run);
    EXPECT_EQ(run.form().txtProgress.Text, "Conversion done.");
    EXPECT_FALSE(run.OutputHas("test.avi"));
    EXPECT_EQ(run.app.conversionsSucceeded, 1);
  }
}

// A tool that never prints a report is asked three times, then the file is repaired.
TEST(AviCheck, GivesUpOnTheInformationToolAfterThreeTries) {
  AviRun run("");
  run.Convert();
  EXPECT_EQ(run.InfoRuns(), kAviInfoTries);
  EXPECT_EQ(run.Commands().back(), run.X(kVideoRepair));
  EXPECT_TRUE(run.LogHas("gave no report"));
  EXPECT_TRUE(run.LogHas("counts as not compatible"));
}

TEST(AviCheck, AsksAgainOnlyUntilAReportComes) {
  AviRun run;
  int runs = 0;
  run.runner.On("mmcl.exe",
                [&](const Argv&) { return ++runs < 2 ? std::string("busy") : kPlayable; });
  run.Convert();
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(run.Commands().back(), run.X(kAudioRepair));
}

// Blanks in the program and output folders stay inside their quotes.
TEST(AviCheck, QuotesEveryPath) {
  AviRun run;
  const fs::path blanks = run.outputDir.path() / "my films";
  fs::create_directories(blanks);
  run.form().txtTMP.Text = blanks.string() + "/";
  bool infoFoundTestFile = false;
  run.runner.On("mmcl.exe", [&](const Argv& a) {
    infoFoundTestFile = a.size() == 3 && a[1] == "--info" && Holds(a[2]);
    return std::string(kPlayable);
  });
  const bool playable = CheckAvi(run.app, run.source, run.programDir.str() + "/check er/mmcl.exe",
                                 run.form().txtTMP.Text);
  EXPECT_TRUE(playable);
  EXPECT_TRUE(infoFoundTestFile);
  ASSERT_EQ(run.Commands().size(), 2u);
  EXPECT_EQ(run.Commands()[1], "\"" + run.programDir.str() + "/check er/mmcl.exe\" --info \"" +
                                   blanks.string() + "/test.avi\"");
  EXPECT_FALSE(fs::exists(blanks / "test.avi"));
}

// A test file of an earlier check is not read when this test encode writes nothing.
TEST(AviCheck, AnEarlierTestFileIsNotRead) {
  AviRun run;
  WriteFile(run.Out("test.avi"), "old");
  run.LeavesNothing("mencoder.exe");
  bool testFileThere = true;
  run.runner.On("mmcl.exe", [&](const Argv& a) {
    testFileThere = Holds(a.back());
    return std::string(kUnreadable);
  });
  EXPECT_FALSE(CheckAvi(run.app, run.source, run.X("{app}/checker/mmcl.exe"), run.Out("")));
  EXPECT_FALSE(testFileThere);
}

// Subtitles are burnt in by the video repair, without a check.
TEST(AviRepair, BurnsInSubtitles) {
  struct Case {
    const char* name;
    bool beside, browsed;
    const std::string* line;
  };
  const Case cases[] = {{"srt beside the source", true, false, &kVideoRepairSrtBeside},
                        {"browsed subtitle", false, true, &kVideoRepairBrowsed}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AviRun run(kPlayable);
    run.form().chkSubs.SetValue(1);
    if (c.beside) {
      WriteFile(run.sourceDir.path() / "Film.srt", "1");
      run.form().lblSRTFound.Visible = true;
    }
    if (c.browsed) run.form().strSubBrowse = (run.sourceDir.path() / "browsed.srt").string();
    run.Convert();
    EXPECT_EQ(run.Commands(), std::vector<std::string>{run.Xs(*c.line)});
    EXPECT_EQ(run.form().txtProgress.Text, "Conversion done.");
  }
}

// The repaired file decides: no file, an empty one, or no encoder run at all (subtitles
// asked for but none there) each end with the box naming it.
TEST(AviRepair, ReportsARepairThatMadeNothing) {
  struct Case {
    const char* name;
    std::function<void(AviRun&)> setUp;
    size_t commands;
  };
  const Case cases[] = {
      {"encoder writes nothing", [](AviRun& r) { r.LeavesNothing("Mencoder/Mencoder.exe"); }, 3},
      {"encoder writes an empty file",
       [](AviRun& r) {
         r.runner.On("Mencoder/Mencoder.exe", [](const Argv& a) {
           WriteFile(After(a, "-o"), "");
           return std::string();
         });
       },
       3},
      {"subtitles ticked, none found", [](AviRun& r) { r.form().chkSubs.SetValue(1); }, 2},
      {"an earlier repaired file",
       [](AviRun& r) {
         WriteFile(r.Out("QL_Film.avi"), "earlier");
         r.LeavesNothing("Mencoder/Mencoder.exe");
       },
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AviRun run(kQpel);
    c.setUp(run);
    run.Convert();
    EXPECT_EQ(run.Commands().size(), c.commands);
    ASSERT_EQ(run.ui.boxes.size(), 1u);
    EXPECT_EQ(run.ui.boxes[0].text, "Error: " + run.Out("QL_Film.avi") + " was not created.");
    EXPECT_EQ(run.form().txtProgress.Text, kConversionError);
    EXPECT_EQ(run.app.conversionsSucceeded, 0);
  }
}

TEST(AviRepair, AnEarlierRepairedFileComesBackWhenTheRunFails) {
  AviRun run(kQpel);
  WriteFile(run.Out("QL_Film.avi"), "earlier");
  run.LeavesNothing("Mencoder/Mencoder.exe");
  run.Convert();
  EXPECT_EQ(ReadFile(run.Out("QL_Film.avi")), "earlier");
}

// Shutdown after a single file, never inside a folder run, where no box waits either.
TEST(AviRepair, ShutsDownOnlyOutsideFolderRuns) {
  for (bool folderMode : {false, true}) {
    SCOPED_TRACE(folderMode ? "folder run" : "single file");
    AviRun run(kQpel);
    run.form().chkShutDown.SetValue(1);
    run.app.bFolderMode = folderMode;
    run.LeavesNothing("Mencoder/Mencoder.exe");
    RecodeAviVideo(run.app);
    EXPECT_EQ(run.power.shutdowns, folderMode ? 0 : 1);
    EXPECT_EQ(run.ui.boxes.size(), folderMode ? 0u : 1u);
    EXPECT_TRUE(run.LogHas("QL_Film.avi was not created"));
  }
}

}  // namespace
}  // namespace quillet::test
