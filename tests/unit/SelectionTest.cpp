// Choosing a source, subtitles and the output folder; dropped files; a file or folder
// named on the command line. Paths the tools cannot take are refused up front.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Program.h"
#include "app/UnsafePath.h"
#include "convert/Convert.h"
#include "shell/CmdLine.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"
#include "tools/CommandLine.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

// An app whose report tool leaves the report of an MPEG-2 film, so that a source is
// inspected once and converted by no tool.
struct SelectionApp : TestApp {
  SelectionApp() { ScriptReportTool(runner, ReportFixture("mpeg2.txt")); }

  // The sources the report tool was asked about, in order: every inspection runs it.
  std::vector<std::string> Inspected() const {
    std::vector<std::string> seen;
    for (const std::string& line : runner.CommandLines()) {
      std::vector<std::string> argv = SplitCommandLine(line);
      if (argv.size() > 1 && argv[0].ends_with("/MKVToolnix/mkvinfo.exe")) seen.push_back(argv[1]);
    }
    return seen;
  }
  // The debug-log lines that start with the given text.
  std::vector<std::string> DebugLogLines(const std::string& start) const {
    std::vector<std::string> lines;
    for (const std::string& line : TestApp::DebugLogLines())
      if (line.starts_with(start)) lines.push_back(line);
    return lines;
  }
  int UnsafePathBoxes() const {
    return static_cast<int>(std::count_if(ui.boxes.begin(), ui.boxes.end(),
                                          [](auto& box) { return box.title == kUnsafePathTitle; }));
  }
};

// Start-up with the command line a shell passes.
void Form_Load(App& app, const std::vector<std::string>& args) {
  const CommandLine commandLine = ParseCommandLine(args);
  ASSERT_EQ(commandLine.error, "");
  EXPECT_EQ(quillet::Form_Load(app, commandLine), std::nullopt);
}
void Form_Load(App& app, const std::string& arg) {
  Form_Load(app, arg.empty() ? std::vector<std::string>{} : std::vector<std::string>{arg});
}

// A dialog request in one line: title, start folder, then each filter.
std::string Described(const OpenFileRequest& request) {
  std::string text = request.title + " | " + request.startFolder;
  for (const FileFilter& filter : request.filters)
    text += " | " + filter.description + " = " + filter.pattern;
  return text;
}

class Selection : public ::testing::Test {
 protected:
  // A small source file in the sources folder.
  std::string Source(const std::string& name) {
    const fs::path path = sources.path() / name;
    WriteFile(path, "source");
    return path.string();
  }

  TempFolder sources{"quillet-sources"};
  SelectionApp t;
  Form1& f = t.form();
};

TEST_F(Selection, FileDialogAsksForTheSourceInTheFolderOfTheLastOne) {
  f.strMKVPath = "/films/";
  t.app.bFolderMode = true;
  Command1_Click(t.app);
  ASSERT_EQ(t.ui.openFileRequests.size(), 1u);
  EXPECT_EQ(Described(t.ui.openFileRequests[0]),
            "Select the MKV | /films/ | mkv Files (*.mkv) = *.MKV | WMV Files (*.wmv) = *.WMV | "
            "AVI Files (*.avi) = *.AVI");
  EXPECT_EQ(t.ui.topMost, std::vector<bool>{true});
  EXPECT_FALSE(t.app.bFolderMode);
}

TEST_F(Selection, DialogsStartInTheHomeFolderBeforeAnySource) {
  const char* saved = std::getenv("HOME");
  const std::string savedHome = saved ? saved : "";
  setenv("HOME", "/home/someone", 1);
  Command1_Click(t.app);
  cmdSubs_Click(t.app);
  if (saved)
    setenv("HOME", savedHome.c_str(), 1);
  else
    unsetenv("HOME");
  ASSERT_EQ(t.ui.openFileRequests.size(), 2u);
  EXPECT_EQ(t.ui.openFileRequests[0].startFolder, "/home/someone/");
  EXPECT_EQ(t.ui.openFileRequests[1].startFolder, "/home/someone/");
}

TEST_F(Selection, TheEndOfTheNameChoosesTheRoad) {
  struct Case {
    const char* name;
    const char* type;
    bool inspected;
  } cases[] = {
      {"film.mkv", "mkv", true},  {"FILM.MKV", "mkv", true},  {"clip.avi", "avi", false},
      {"CLIP.AVI", "avi", false}, {"show.WMV", "wmv", false}, {"show.ts", "wmv", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SelectionApp app;
    const std::string path = Source(c.name);
    app.ui.openFileAnswers = {path};
    Command1_Click(app.app);
    Form1& form = app.form();
    EXPECT_EQ(form.strType, c.type);
    EXPECT_EQ(form.strFullname, path);
    EXPECT_EQ(form.txtFile.Text, path);
    EXPECT_EQ(app.runner.calls.empty(), !c.inspected);
    if (std::string(c.type) == "avi") {
      EXPECT_EQ(form.chkMP2.Value, 1);
      EXPECT_EQ(form.cmdConv.Text(), "Xvid");
      EXPECT_FALSE(form.chk25.Enabled);  // the recode rule ran
    }
    if (std::string(c.type) == "wmv") {
      EXPECT_EQ(form.chkAVCHD.Value, 1);
      EXPECT_EQ(form.cmdConv.Text(), "H264");  // the AVCHD rule ran
      EXPECT_FALSE(form.chk25.Enabled);
      EXPECT_FALSE(form.chkFF.Enabled);
      EXPECT_FALSE(form.chkVob.Enabled);
    }
  }
}

TEST_F(Selection, AMatroskaSourceIsInspected) {
  const std::string path = Source("my film.mkv");
  t.ui.openFileAnswers = {"  " + path + std::string(3, '\0') + " "};
  Command1_Click(t.app);
  EXPECT_EQ(f.strFullname, path);
  EXPECT_EQ(t.Inspected(), std::vector<std::string>{path});
}

TEST_F(Selection, ASubtitleFileBesideTheSourceIsOffered) {
  for (const char* name : {"film.mkv", "clip.avi"}) {
    SCOPED_TRACE(name);
    SelectionApp app;
    const std::string path = Source(name);
    WriteFile(path.substr(0, path.size() - 3) + "srt", "1\r\n");
    app.ui.openFileAnswers = {path};
    Command1_Click(app.app);
    EXPECT_TRUE(app.form().lblSRTFound.Visible);
    EXPECT_TRUE(app.form().chkSubs.Visible);
    EXPECT_FALSE(app.form().cmbSubs.Visible);
  }
  t.ui.openFileAnswers = {Source("other.mkv")};
  Command1_Click(t.app);
  EXPECT_FALSE(f.lblSRTFound.Visible);
}

TEST_F(Selection, ACancelledFileDialogOnlyResetsTheSubtitleHints) {
  f.lblSRTFound.Visible = true;
  f.cmbSubs.Visible = true;
  f.bSplit = true;
  f.strFullname = f.txtFile.Text = "/films/old.mkv";
  f.strType = "mkv";
  Command1_Click(t.app);
  EXPECT_FALSE(f.lblSRTFound.Visible);
  EXPECT_FALSE(f.cmbSubs.Visible);
  EXPECT_FALSE(f.bSplit);
  EXPECT_EQ(f.strFullname, "/films/old.mkv");
  EXPECT_EQ(f.txtFile.Text, "/films/old.mkv");
  EXPECT_EQ(f.strType, "mkv");
  EXPECT_TRUE(t.runner.calls.empty());
}

// The dialogs take paths of up to 510 characters; a longer one counts as no choice.
TEST_F(Selection, PathsLongerThanTheDialogBufferAreNoChoice) {
  const std::string folder =
      sources.str() + "/" + std::string(200, 'd') + "/" + std::string(200, 'e') + "/";
  const std::string fits = folder + std::string(510 - folder.size() - 4, 'f') + ".mkv";
  const std::string tooLong = folder + std::string(511 - folder.size() - 4, 'f') + ".mkv";
  ASSERT_EQ(fits.size(), 510u);
  WriteFile(fits, "source");
  WriteFile(tooLong, "source");

  t.ui.openFileAnswers = {tooLong, fits};
  Command1_Click(t.app);
  EXPECT_TRUE(f.strFullname.empty());
  EXPECT_TRUE(t.runner.calls.empty());
  Command1_Click(t.app);
  EXPECT_EQ(f.strFullname, fits);
  EXPECT_EQ(t.Inspected(), std::vector<std::string>{fits});

  t.ui.openFileAnswers = {std::string(511, 's'), std::string(510, 's')};
  cmdSubs_Click(t.app);
  EXPECT_TRUE(f.strSubBrowse.empty());
  EXPECT_EQ(f.chkSubs.Value, 0);
  cmdSubs_Click(t.app);
  EXPECT_EQ(f.strSubBrowse, std::string(510, 's'));
}

TEST_F(Selection, SubtitleDialogTicksEmbeddingButNotTheRecode) {
  f.strMKVPath = "/films/";
  f.chkMP2.Enabled = false;
  f.chkSubs.Enabled = false;
  f.lblSRTFound.Visible = true;
  f.cmbSubs.Visible = true;
  t.ui.openFileAnswers = {" /films/film.en.srt "};
  cmdSubs_Click(t.app);
  ASSERT_EQ(t.ui.openFileRequests.size(), 1u);
  EXPECT_EQ(Described(t.ui.openFileRequests[0]),
            "Select the Subtitle file | /films/ | Subtitle Files = *.srt; *.ssa");
  EXPECT_EQ(t.ui.topMost, std::vector<bool>{true});

  EXPECT_EQ(f.strSubBrowse, "/films/film.en.srt");
  EXPECT_TRUE(f.chkMP2.Enabled);
  EXPECT_EQ(f.chkMP2.Value, 0);
  EXPECT_TRUE(f.chkSubs.Enabled);
  EXPECT_TRUE(f.chkSubs.Visible);
  EXPECT_EQ(f.chkSubs.Value, 1);
  EXPECT_FALSE(f.cmbSubs.Visible);
  EXPECT_FALSE(f.lblSRTFound.Visible);
}

TEST_F(Selection, ACancelledSubtitleDialogChangesNothing) {
  f.strSubBrowse = "/films/old.srt";
  f.cmbSubs.Visible = true;
  cmdSubs_Click(t.app);
  EXPECT_EQ(f.strSubBrowse, "/films/old.srt");
  EXPECT_TRUE(f.cmbSubs.Visible);
  EXPECT_EQ(f.chkSubs.Value, 0);
}

TEST_F(Selection, OutputFolderGetsExactlyOneSeparator) {
  f.txtTMP.Text = "/old/";
  t.ui.folderAnswers = {"/media/out", "/media/done/", ""};
  cmdTargetFolder_Click(t.app);
  EXPECT_EQ(f.txtTMP.Text, "/media/out/");
  cmdTargetFolder_Click(t.app);
  EXPECT_EQ(f.txtTMP.Text, "/media/done/");
  cmdTargetFolder_Click(t.app);  // cancelled
  EXPECT_EQ(f.txtTMP.Text, "/media/done/");
  EXPECT_EQ(
      t.ui.folderPrompts,
      std::vector<std::string>(3, "Please select a folder where the converted file is stored."));
  EXPECT_EQ(t.ui.topMost, std::vector<bool>(3, false));
}

TEST_F(Selection, PathsTheToolsCannotTakeAreRefusedAndTheOldChoiceStays) {
  f.strFullname = f.txtFile.Text = "/films/old.mkv";
  f.strType = "mkv";
  f.strSubBrowse = "/films/old.srt";
  f.txtTMP.Text = "/old/";

  t.ui.openFileAnswers = {"/films/say \"hi\".mkv", "/films/two\nlines.srt"};
  t.ui.folderAnswers = {"/media/\"out\""};
  Command1_Click(t.app);
  cmdSubs_Click(t.app);
  cmdTargetFolder_Click(t.app);

  EXPECT_EQ(t.UnsafePathBoxes(), 3);
  EXPECT_EQ(f.strFullname, "/films/old.mkv");
  EXPECT_EQ(f.txtFile.Text, "/films/old.mkv");
  EXPECT_EQ(f.strType, "mkv");
  EXPECT_EQ(f.strSubBrowse, "/films/old.srt");
  EXPECT_EQ(f.chkSubs.Value, 0);
  EXPECT_EQ(f.txtTMP.Text, "/old/");
  EXPECT_TRUE(t.runner.calls.empty());
  EXPECT_NE(t.ui.boxes[0].text.find("/films/say \"hi\".mkv"), std::string::npos);
}

TEST_F(Selection, DroppedFilesAreConvertedOneAfterTheOtherInDropOrder) {
  const std::vector<std::string> dropped = {Source("b.mkv"), Source("a.mkv"), Source("c d.mkv")};
  f.strType = "avi";
  DropFiles(t.app, dropped);
  EXPECT_EQ(t.Inspected(), dropped);
  EXPECT_EQ(t.app.conversionsStarted, 3);
  EXPECT_EQ(f.strFullname, dropped.back());
  EXPECT_EQ(f.txtFile.Text, dropped.back());
  EXPECT_EQ(f.strType, "avi");  // a drop keeps the road of the last dialog choice
}

TEST_F(Selection, ADroppedPathTheToolsCannotTakeIsSkipped) {
  const std::vector<std::string> dropped = {Source("a.mkv"), sources.str() + "/x\"y.mkv",
                                            Source("c.mkv")};
  DropFiles(t.app, dropped);
  EXPECT_EQ(t.UnsafePathBoxes(), 1);
  EXPECT_EQ(t.Inspected(), (std::vector<std::string>{dropped[0], dropped[2]}));
  EXPECT_EQ(t.app.conversionsStarted, 2);
}

// --- The command line ---

TEST_F(Selection, AMatroskaFileOnTheCommandLineIsConvertedAndEndsTheProgram) {
  const std::string path = Source("My Film 2.MKV");
  for (const std::string& argument : {path, "\"" + path + "\""}) {
    SCOPED_TRACE(argument);
    SelectionApp app;
    Form_Load(app.app, argument);
    EXPECT_TRUE(app.app.bCommandLine);
    EXPECT_TRUE(app.form().bUnload);
    EXPECT_EQ(app.form().strFullname, path);
    EXPECT_EQ(app.form().txtFile.Text, path);
    EXPECT_EQ(app.app.conversionsStarted, 1);
    EXPECT_EQ(app.Inspected(), std::vector<std::string>{path});
  }
}

// The current folder of a shell started in `folder`, for the test's length.
class CurrentFolder {
 public:
  explicit CurrentFolder(const fs::path& folder) : before_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~CurrentFolder() { fs::current_path(before_); }

 private:
  fs::path before_;
};

// A name that starts with a dash, given relative, would reach the tools as an option.
TEST_F(Selection, RelativePathsReachTheToolsAbsoluteEvenWithALeadingDash) {
  const std::string path = Source("-o.mkv");
  fs::create_directories(sources.path() / "-out");
  CurrentFolder here(sources.path());
  {
    SCOPED_TRACE("command line");
    SelectionApp app;
    Form_Load(app.app, std::vector<std::string>{"--", "-o.mkv"});
    EXPECT_EQ(app.Inspected(), std::vector<std::string>{path});
    EXPECT_EQ(app.form().txtFile.Text, path);
    EXPECT_EQ(app.app.conversionsStarted, 1);
  }
  {
    SCOPED_TRACE("dropped");
    SelectionApp app;
    DropFiles(app.app, {"-o.mkv"});
    EXPECT_EQ(app.Inspected(), std::vector<std::string>{path});
  }
  {
    SCOPED_TRACE("typed into the source and output boxes");
    SelectionApp app;
    app.form().txtFile.Text = "-o.mkv";
    app.form().strFullname = "-o.mkv";
    app.form().txtTMP.Text = "-out";
    Command2_Click(app.app);
    EXPECT_EQ(app.Inspected(), std::vector<std::string>{path});
    ASSERT_FALSE(app.runner.CommandLines().empty());
    const std::vector<std::string> report = SplitCommandLine(app.runner.CommandLines()[0]);
    ASSERT_EQ(report.size(), 4u);
    EXPECT_EQ(report[3].rfind(sources.withSep() + "-out/info.", 0), 0u) << report[3];
    EXPECT_EQ(app.form().txtTMP.Text, sources.withSep() + "-out/");
  }
}

TEST_F(Selection, ANameThatNamesNothingIsAWrongArgument) {
  for (const std::string& argument : {sources.str() + "/missing.mkv", std::string("-o.mkv")}) {
    SCOPED_TRACE(argument);
    EXPECT_NE(ParseCommandLine(std::vector<std::string>{argument}).error, "");
  }
  Form_Load(t.app, "");
  EXPECT_FALSE(t.app.bCommandLine);
  EXPECT_FALSE(f.bUnload);
  EXPECT_TRUE(t.runner.calls.empty());
}

TEST_F(Selection, ACommandLineWithALineBreakIsRefused) {
  const std::string path = Source("two\nlines.mkv");
  Form_Load(t.app, path);
  EXPECT_EQ(t.UnsafePathBoxes(), 1);
  EXPECT_TRUE(t.runner.calls.empty());
  EXPECT_EQ(t.app.conversionsStarted, 0);
  EXPECT_FALSE(f.bUnload);
}

TEST_F(Selection, AFolderOnTheCommandLineConvertsFilesWithoutEarlierResults) {
  for (const char* name : {"a.mkv", "B.mkv", "c.mkv", "d.avi", "e.MKV"}) Source(name);
  WriteFile(t.outputDir.path() / "a.mp4", "done");
  WriteFile(t.outputDir.path() / "B.mpg", "done");
  f.txtTMP.Text = t.outputDir.str();  // typed without its separator
  std::vector<std::string> counts;
  t.ui.onRepaint = [&] {
    if (f.lblMulti.Visible && (counts.empty() || counts.back() != f.lblMulti.Caption))
      counts.push_back(f.lblMulti.Caption);
  };
  f.bSplit = true;

  // The folder named with its separator: each name is joined with one more, as typed.
  Form_Load(t.app, "\"" + sources.str() + "/\"");
  const std::string folder = sources.str() + "//";
  EXPECT_EQ(t.Inspected(), (std::vector<std::string>{folder + "c.mkv", folder + "e.MKV"}));
  EXPECT_EQ(f.strFullname, folder + "e.MKV");
  EXPECT_EQ(t.app.conversionsStarted, 2);
  EXPECT_TRUE(t.app.nothingToConvert.empty());  // some done, the others converted
  EXPECT_EQ(t.DebugLogLines("Already converted, skipped: "),
            (std::vector<std::string>{"Already converted, skipped: " + folder + "a.mkv",
                                      "Already converted, skipped: " + folder + "B.mkv"}));
  EXPECT_EQ(counts, (std::vector<std::string>{"1 of 4", "2 of 4", "3 of 4", "4 of 4"}));
  EXPECT_FALSE(f.lblMulti.Visible);
  EXPECT_TRUE(t.app.bFolderMode);
  EXPECT_TRUE(t.app.bCommandLine);
  EXPECT_FALSE(f.bSplit);
  EXPECT_FALSE(f.bUnload);  // the window stays open after a folder
}

TEST_F(Selection, AFolderWithoutMatroskaFilesConvertsNothingAndSaysSo) {
  Source("clip.avi");
  Form_Load(t.app, sources.str());
  EXPECT_TRUE(t.app.bFolderMode);
  EXPECT_TRUE(t.runner.calls.empty());
  EXPECT_EQ(t.app.conversionsStarted, 0);
  EXPECT_TRUE(f.lblMulti.Caption.empty());
  EXPECT_FALSE(f.bUnload);
  EXPECT_EQ(t.app.nothingToConvert, "No MKV files found in " + sources.str() + ".");
  EXPECT_EQ(HeadlessExitStatus(t.app), 0);
}

TEST_F(Selection, AFolderWhoseFilesAllHaveResultsIsNothingToDo) {
  for (const char* name : {"a.mkv", "b.mkv"}) Source(name);
  WriteFile(t.outputDir.path() / "a.mp4", "done");
  WriteFile(t.outputDir.path() / "b.mpg", "done");
  f.txtTMP.Text = t.outputDir.str();
  Form_Load(t.app, sources.str());
  EXPECT_TRUE(t.runner.calls.empty());
  EXPECT_EQ(t.app.nothingToConvert,
            "Nothing to convert in " + sources.str() + ": all 2 files are done.");
  EXPECT_EQ(t.DebugLogLines("Already converted, skipped: ").size(), 2u);
  EXPECT_EQ(HeadlessExitStatus(t.app), 0);
}

// An empty result is what a failed run left: that film is converted again.
TEST_F(Selection, AFolderFileWithAnEmptyResultIsConvertedAgain) {
  Source("a.mkv");
  WriteFile(t.outputDir.path() / "a.mp4", "");
  f.txtTMP.Text = t.outputDir.str();
  Form_Load(t.app, sources.str());
  EXPECT_EQ(t.app.conversionsStarted, 1);
  EXPECT_TRUE(t.app.nothingToConvert.empty());
}

TEST_F(Selection, AFolderWithARefusedNameIsNoNothingToDo) {
  Source("a.mkv");
  Source("line\nbreak.mkv");
  WriteFile(t.outputDir.path() / "a.mp4", "done");
  f.txtTMP.Text = t.outputDir.str();
  Form_Load(t.app, sources.str());
  EXPECT_EQ(t.UnsafePathBoxes(), 1);
  EXPECT_TRUE(t.app.nothingToConvert.empty());
  EXPECT_EQ(HeadlessExitStatus(t.app), 1);
}

}  // namespace
}  // namespace quillet::test
