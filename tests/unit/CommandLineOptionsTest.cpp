// The command line of a script: each option leaves the window as the click it plays
// leaves it, wrong arguments are refused before anything runs, and options given for one
// run stay out of the settings file unless --save asks for them.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/AppTools.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "inspect/ReadInfo.h"
#include "shell/CmdLine.h"
#include "shell/CommandLineOptions.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Everything the options can touch, in one line.
std::string ControlState(const Form1& f) {
  std::string s;
  auto box = [&s](const CheckBox& c) {
    s += c.Name + "=" + std::to_string(c.Value) + (c.Enabled ? "" : "/off") +
         (c.Visible ? "" : "/hidden") + " ";
  };
  auto list = [&s](const ComboBox& c) { s += c.Name + "=" + std::to_string(c.ListIndex) + " "; };
  for (const CheckBox* c : {&f.chkAVCHD, &f.chkVob, &f.chkMP2, &f.chk25, &f.chkFF, &f.chkNorm,
                            &f.Check1, &f.chkDVD, &f.chkSubs, &f.chkShutDown})
    box(*c);
  for (const ComboBox* c : {&f.cmbPlatform, &f.cmdConv, &f.cmbSize, &f.cmbPrio, &f.cmbAudio})
    list(*c);
  s += "ff=" + f.chkFF.Caption + " tmp=" + f.txtTMP.Text + " subs=" + f.strSubBrowse +
       " srt=" + std::to_string(f.lblSRTFound.Visible) +
       " cmbSubs=" + std::to_string(f.cmbSubs.Visible) + " txtS2=" + f.txtS2.Text;
  return s;
}

class CommandLineOptions : public ::testing::Test {
 protected:
  TempFolder files{"quillet-cmdline"};

  std::string File(const std::string& name) {
    WriteFile(files.path() / name, "x");
    return (files.path() / name).string();
  }
};

// Each case: a start (as the settings file may leave the window), the command line, and
// the clicks a user makes for the same choice.
struct OptionCase {
  const char* what;
  std::function<void(App&)> start;
  Args args;
  std::function<void(App&)> clicks;
};

TEST_F(CommandLineOptions, EachOptionReachesTheStateOfTheClickItPlays) {
  const std::string out = files.str() + "/out";
  fs::create_directories(out);
  auto none = [](App&) {};
  auto avchdStored = [](App& a) {
    a.form.cmdConv.SetListIndex(2);
    a.form.chkAVCHD.SetValue(1);
  };
  const OptionCase cases[] = {
      {"xbox",
       none,
       {"--target", "xbox360"},
       [](App& a) { a.form.cmbPlatform.SetListIndex(1), a.form.cmbPlatform_Change(); }},
      {"ps3 stereo after xbox",
       [](App& a) { a.form.cmbPlatform.SetListIndex(1), a.form.Hideon360(); },
       {"--target", "ps3-stereo"},
       [](App& a) { a.form.cmbPlatform.SetListIndex(2), a.form.cmbPlatform_Change(); }},
      {"output",
       none,
       {"--output", out},
       [&](App& a) {
         static_cast<FakeUi&>(a.ctx.ui).folderAnswers.push_back(out);
         cmdTargetFolder_Click(a);
       }},
      {"mp4 after a stored AVCHD", avchdStored, {"--mp4"}, [](App& a) { a.form.chkAVCHD.Click(); }},
      {"m2ts", none, {"--m2ts"}, [](App& a) { a.form.chkVob.Click(); }},
      {"m2ts after a stored AVCHD",
       avchdStored,
       {"--m2ts"},
       [](App& a) { a.form.chkAVCHD.Click(), a.form.chkVob.Click(); }},
      {"avchd", none, {"--avchd"}, [](App& a) { a.form.chkAVCHD.Click(); }},
      {"recode",
       none,
       {"--recode", "h264hq"},
       [](App& a) { a.form.chkMP2.Click(), a.form.cmdConv.SetListIndex(3); }},
      {"recode mpeg2 after a stored AVCHD",
       avchdStored,
       {"--recode", "mpeg2", "--mp4"},
       [](App& a) {
         a.form.chkAVCHD.Click(), a.form.chkMP2.Click(), a.form.cmdConv.SetListIndex(0);
       }},
      {"avchd takes H264 over Xvid",
       none,
       {"--avchd", "--recode", "xvid"},
       [](App& a) {
         a.form.chkMP2.Click(), a.form.cmdConv.SetListIndex(2), a.form.chkAVCHD.Click();
       }},
      {"safe sync", none, {"--fast-mux"}, [](App& a) { a.form.chkFF.Click(); }},
      {"fast mux",
       none,
       {"--fast-mux", "--avchd"},
       [](App& a) { a.form.chkAVCHD.Click(), a.form.chkFF.Click(); }},
      {"fit",
       none,
       {"--fit", "bluray"},
       [](App& a) { a.form.chkDVD.Click(), a.form.cmbSize.SetListIndex(2); }},
      {"split",
       [](App& a) { a.form.Check1.SetValue(0); },
       {"--split"},
       [](App& a) { a.form.Check1.Click(); }},
      {"no split", none, {"--no-split"}, [](App& a) { a.form.Check1.Click(); }},
      {"normalize", none, {"--normalize"}, [](App& a) { a.form.chkNorm.Click(); }},
      {"25 fps", none, {"--25fps"}, [](App& a) { a.form.chk25.Click(); }},
      {"embed subs",
       none,
       {"--embed-subs"},
       [](App& a) { a.form.chkSubs.Visible = true, a.form.chkSubs.Click(); }},
      {"priority", none, {"--priority", "high"}, [](App& a) { a.form.cmbPrio.SetListIndex(1); }},
      {"priority low", none, {"--priority", "low"}, [](App& a) { a.form.cmbPrio.SetListIndex(0); }},
      {"shutdown", none, {"--shutdown"}, [](App& a) { a.form.chkShutDown.Click(); }},
  };
  const std::string film = File("film.mkv");
  for (const OptionCase& c : cases) {
    SCOPED_TRACE(c.what);
    TestApp byOption, byClick, untouched;
    // Each app has an output folder of its own; they start from the same one here.
    for (TestApp* t : {&byOption, &byClick, &untouched}) t->form().txtTMP.Text = "/start/";
    c.start(byOption.app);
    c.start(byClick.app);
    c.start(untouched.app);
    Args args = c.args;
    args.push_back(film);
    const CommandLine commandLine = ParseCommandLine(args);
    ASSERT_EQ(commandLine.error, "");
    EXPECT_EQ(ApplyOptions(byOption.app, commandLine), std::nullopt);
    c.clicks(byClick.app);
    EXPECT_EQ(ControlState(byOption.form()), ControlState(byClick.form()));
    EXPECT_NE(ControlState(byOption.form()), ControlState(untouched.form())) << "changed nothing";
  }
}

TEST_F(CommandLineOptions, AvchdWithAnXvidRecodeEndsOnH264) {
  TestApp t;
  const CommandLine cmd = ParseCommandLine(Args{"--recode", "xvid", "--avchd", File("a.mkv")});
  ASSERT_EQ(ApplyOptions(t.app, cmd), std::nullopt);
  EXPECT_EQ(t.form().cmdConv.Text(), "H264");
  EXPECT_EQ(t.form().chkMP2.Value, 1);
}

// The subtitle file and the audio track are chosen after each source's inspection.
// The window lists Low and High only; "normal" runs the tools at the program's own
// priority for this run and leaves the list as the settings file set it.
TEST_F(CommandLineOptions, NormalPriorityRunsToolsAtOursAndLeavesTheList) {
  const std::string film = File("film.mkv");
  for (const auto& [value, expected] : {std::pair{"normal", ToolPriority::Normal},
                                        {"low", ToolPriority::Low},
                                        {"high", ToolPriority::High}}) {
    SCOPED_TRACE(value);
    TestApp t;
    t.form().cmbPrio.SetListIndex(1);
    ASSERT_EQ(ApplyOptions(t.app, ParseCommandLine(Args{"--priority", value, film})), std::nullopt);
    EXPECT_EQ(ChosenPriority(t.app), expected);
    EXPECT_EQ(t.form().cmbPrio.ListIndex, expected == ToolPriority::Low ? 0 : 1);
  }
}

TEST_F(CommandLineOptions, SubtitleFileAndAudioTrackPlayBrowseSubsAndTheAudioList) {
  const std::string srt = File("film.srt");
  TestApp byOption, byClick;
  for (TestApp* t : {&byOption, &byClick}) {
    t->form().txtTMP.Text = "/start/";
    ScriptReportTool(t->runner, ReportFixture("multi_audio.txt"));
    ReadInfo(t->app, File("film.mkv"));
  }
  ASSERT_GE(byOption.form().cmbAudio.Items.size(), 2u);
  const CommandLine cmd = ParseCommandLine(Args{"--subs", srt, "--audio", "2", File("film.mkv")});
  ASSERT_EQ(cmd.error, "");
  EXPECT_TRUE(ApplySourceOptions(byOption.app, cmd));
  byClick.ui.openFileAnswers.push_back(srt);
  cmdSubs_Click(byClick.app);
  byClick.form().cmbAudio.SetListIndex(1);
  EXPECT_EQ(ControlState(byOption.form()), ControlState(byClick.form()));
  EXPECT_EQ(byOption.form().strSubBrowse, srt);
  EXPECT_EQ(byOption.form().cmbAudio.ListIndex, 1);

  const CommandLine tooFar = ParseCommandLine(Args{"--audio", "9", File("film.mkv")});
  EXPECT_FALSE(ApplySourceOptions(byOption.app, tooFar));
  EXPECT_EQ(byOption.form().cmbAudio.ListIndex, 1);
}

// Options the window would not let a user combine are refused, naming the option.
TEST_F(CommandLineOptions, CombinationsTheWindowForbidsAreRefused) {
  const std::string film = File("film.mkv");
  const struct {
    Args args;
    const char* names;
  } cases[] = {
      {{"--recode", "h264", "--25fps"}, "--25fps"},
      {{"--m2ts", "--25fps"}, "--25fps"},
      {{"--target", "xbox360", "--avchd"}, "--avchd"},
      {{"--target", "xbox360", "--m2ts"}, "--m2ts"},
      {{"--recode", "h264", "--fast-mux"}, "--recode"},  // Safe Sync clears the recode
  };
  for (const auto& c : cases) {
    TestApp t;
    Args args = c.args;
    args.push_back(film);
    const CommandLine cmd = ParseCommandLine(args);
    ASSERT_EQ(cmd.error, "");
    const std::optional<std::string> refused = ApplyOptions(t.app, cmd);
    ASSERT_TRUE(refused.has_value()) << args[0];
    EXPECT_EQ(refused->rfind(c.names, 0), 0u) << *refused;
  }
}

TEST_F(CommandLineOptions, WrongArgumentsSayWhichAndWhy) {
  const std::string film = File("film.mkv");
  const struct {
    Args args;
    std::string error;
  } cases[] = {
      {{"--colour", film}, "unknown option --colour"},
      {{"--target", "ps4", film}, "--target ps4: choose one of ps3|ps3-stereo|xbox360"},
      {{"--recode"}, "--recode needs a value: mpeg2|h264|xvid|h264hq"},
      {{"--priority", "middle", film}, "--priority middle: choose one of low|normal|high"},
      {{"--audio", "0", film}, "--audio 0: a track number from 1 is needed"},
      {{"--audio", "two", film}, "--audio two: a track number from 1 is needed"},
      {{"--output", files.str() + "/none", film},
       "--output " + files.str() + "/none: no such folder"},
      {{"--subs", film + ".srt", film}, "--subs " + film + ".srt: no such file"},
      {{"--subs", files.str() + "/a\"b.srt", film},
       "--subs " + files.str() + "/a\"b.srt: the file name"},
      {{"--m2ts", "--avchd", film}, "--avchd and --m2ts exclude each other"},
      {{"--split", "--no-split", film}, "--no-split and --split exclude each other"},
      {{"--normalize", "--normalize", film}, "--normalize is given twice"},
      {{"--mp4"}, "no file or folder to convert"},
      {{files.str() + "/gone.mkv"}, files.str() + "/gone.mkv: no such file or folder"},
      {{"-film.mkv"}, "unknown option -film.mkv"},
      {{"--avi-folder", film}, "--avi-folder " + film + ": no such folder"},
  };
  for (const auto& c : cases) {
    const CommandLine cmd = ParseCommandLine(c.args);
    EXPECT_EQ(cmd.error.substr(0, c.error.size()), c.error) << cmd.error;
  }
}

TEST_F(CommandLineOptions, SourcesAreTakenAsGivenInOrderAndDashDashEndsOptions) {
  const std::string a = File("my film é.mkv"), b = File("b.avi"), dash = File("-o.wmv");
  EXPECT_EQ(ParseCommandLine(Args{a, "--m2ts", b}).sources, (Args{a, b}));
  EXPECT_EQ(ParseCommandLine(Args{"--", dash, a}).sources, (Args{dash, a}));
  {
    // A name like an option that names a file is that file, as it always was.
    const fs::path before = fs::current_path();
    fs::current_path(files.path());
    EXPECT_EQ(ParseCommandLine(Args{"-o.wmv"}).sources, Args{"-o.wmv"});
    EXPECT_NE(ParseCommandLine(Args{"-x.wmv"}).error, "");
    fs::current_path(before);
  }
  // An unquoted name with blanks arrives in pieces and is one name again, as always.
  EXPECT_EQ(ParseCommandLine(Args{files.str() + "/my", "film", "é.mkv"}).sources, Args{a});
  EXPECT_EQ(ParseCommandLine(Args{"\"" + a + "\""}).sources, Args{a});
  const CommandLine help = ParseCommandLine(Args{"--recode", "h264", "--help"});
  EXPECT_TRUE(help.help);
  EXPECT_EQ(help.error, "");
  EXPECT_TRUE(ParseCommandLine(Args{"--version"}).version);
}

TEST(CommandLineHelp, NamesEveryOptionAndTheVersion) {
  const std::string help = HelpText();
  for (const char* option : {"--target ps3|ps3-stereo|xbox360",
                             "--output DIR",
                             "--mp4",
                             "--m2ts",
                             "--avchd",
                             "--recode mpeg2|h264|xvid|h264hq",
                             "--fast-mux",
                             "--fit dvd5|dvd9|bluray",
                             "--split",
                             "--no-split",
                             "--normalize",
                             "--25fps",
                             "--audio N",
                             "--subs FILE",
                             "--embed-subs",
                             "--priority low|normal|high",
                             "--shutdown",
                             "--avi-folder DIR",
                             "--save",
                             "--check",
                             "--help",
                             "--version"})
    EXPECT_NE(help.find(std::string("  ") + option), std::string::npos) << option;
  EXPECT_EQ(VersionText(), "quillet 0.24");
}

// --- The settings file ---

struct SettingsRun : TestApp {
  SettingsRun() { ScriptReportTool(runner, ReportFixture("mpeg2.txt")); }
  fs::path SettingsFile() const { return programDir.path() / kSettingsFileName; }
};

TEST_F(CommandLineOptions, OptionsStayOutOfTheSettingsFileUnlessSaveIsGiven) {
  const std::string film = File("film.mkv");
  const std::string stored =
      "a\r\nb\r\nc\r\n" + files.withSep() +
      "\r\n 0 \r\n 1 \r\n/x/\r\n\r\n 2 \r\n\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n";
  for (bool save : {false, true}) {
    SCOPED_TRACE(save ? "--save" : "without --save");
    SettingsRun t;
    WriteFile(t.SettingsFile(), stored);
    Args args = {"--target", "xbox360",         "--priority", "high", "--normalize",
                 "--output", t.outputDir.str(), "--no-split", film};
    if (save) args.insert(args.begin(), "--save");
    const CommandLine cmd = ParseCommandLine(args);
    ASSERT_EQ(cmd.error, "");
    ASSERT_EQ(Form_Load(t.app, cmd), std::nullopt);
    EXPECT_EQ(t.app.conversionsStarted, 1);
    const std::vector<std::string> lines = CrLfLines(ReadFile(t.SettingsFile()));
    ASSERT_EQ(lines.size(), 15u);
    // The program's own lines are written as every run writes them.
    EXPECT_EQ(lines[6], files.withSep());
    const std::vector<std::string> options = {lines[3], lines[5], lines[10], lines[13], lines[14]};
    if (save)
      EXPECT_EQ(options,
                (std::vector<std::string>{t.outputDir.withSep(), " 0 ", " 1 ", " 1 ", " 1 "}));
    else
      EXPECT_EQ(options, (std::vector<std::string>{files.withSep(), " 1 ", " 0 ", " 0 ", " 0 "}));
  }
}

TEST_F(CommandLineOptions, ABareCommandLineWritesTheSettingsAsBefore) {
  SettingsRun t;
  ASSERT_EQ(Form_Load(t.app, ParseCommandLine(Args{File("film.mkv")})), std::nullopt);
  EXPECT_FALSE(t.app.settingsAsRead.has_value());
  EXPECT_TRUE(fs::exists(t.SettingsFile()));
}

TEST_F(CommandLineOptions, RefusedOptionsConvertAndWriteNothing) {
  SettingsRun t;
  const CommandLine cmd = ParseCommandLine(Args{"--recode", "h264", "--25fps", File("film.mkv")});
  EXPECT_TRUE(Form_Load(t.app, cmd).has_value());
  EXPECT_TRUE(t.runner.calls.empty());
  EXPECT_FALSE(fs::exists(t.SettingsFile()));
  EXPECT_EQ(t.app.conversionsStarted, 0);
}

}  // namespace
}  // namespace quillet::test
