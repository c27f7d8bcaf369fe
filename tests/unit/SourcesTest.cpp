// Choosing what to convert: the File dialog, drops and the command line (split as Windows
// splits it, its options played as clicks, its sources, folders with nothing to do).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "app/AppTools.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "app/UnsafePath.h"
#include "convert/Convert.h"
#include "shell/CmdLine.h"
#include "shell/CommandLineOptions.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"
#include "tools/CommandLine.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Everything the options can touch, in one line.
std::string ControlState(const Form1& f) {
  std::string s;
  for (const CheckBox* c : {&f.chkAVCHD, &f.chkVob, &f.chkMP2, &f.chk25, &f.chkFF, &f.chkNorm,
                            &f.Check1, &f.chkDVD, &f.chkSubs, &f.chkShutDown})
    s += c->Name + "=" + std::to_string(c->Value) + (c->Enabled ? "" : "/off") +
         (c->Visible ? "" : "/hidden") + " ";
  for (const ComboBox* c : {&f.cmbPlatform, &f.cmdConv, &f.cmbSize, &f.cmbPrio, &f.cmbAudio})
    s += c->Name + "=" + std::to_string(c->ListIndex) + " ";
  return s + "ff=" + f.chkFF.Caption + " tmp=" + f.txtTMP.Text + " subs=" + f.strSubBrowse +
         " srt=" + std::to_string(f.lblSRTFound.Visible) +
         " cmbSubs=" + std::to_string(f.cmbSubs.Visible) + " txtS2=" + f.txtS2.Text;
}

// An app whose report tool reports an MPEG-2 film: a source is inspected and not converted.
struct SourcesApp : TestApp {
  SourcesApp() { ScriptReportTool(runner, ReportFixture("mpeg2.txt")); }
  Args Inspected() const {
    Args seen;
    for (const std::string& line : runner.CommandLines()) {
      Args argv = SplitCommandLine(line);
      if (argv.size() > 1 && argv[0].ends_with("/MKVToolnix/mkvinfo.exe")) seen.push_back(argv[1]);
    }
    return seen;
  }
  int UnsafePathBoxes() const {
    return static_cast<int>(std::count_if(ui.boxes.begin(), ui.boxes.end(),
                                          [](auto& box) { return box.title == kUnsafePathTitle; }));
  }
  // Start-up with the command line a shell passes; false when it was refused.
  bool Start(const Args& args) {
    const CommandLine commandLine = ParseCommandLine(args);
    EXPECT_EQ(commandLine.error, "");
    return !Form_Load(app, commandLine).has_value();
  }
  fs::path SettingsFile() const { return programDir.path() / kSettingsFileName; }
};

class Sources : public ::testing::Test {
 protected:
  std::string File(const std::string& name) {
    WriteFile(files.path() / name, "x");
    return (files.path() / name).string();
  }
  TempFolder files{"quillet-cmdline"};
};

// --- Splitting a tool's command line: a tool gets here the arguments it gets on Windows ---

TEST(SplitCommandLine, GivesTheArgumentsWindowsGives) {
  const std::pair<std::string, Args> cases[] = {
      {"", {}},
      {" \t ", {}},
      {"tool  a\tb ", {"tool", "a", "b"}},
      {R"("/opt/my tools/mkvextract.exe" tracks "/out dir/a b.mkv" 1:"/out/movie.h264")",
       {"/opt/my tools/mkvextract.exe", "tracks", "/out dir/a b.mkv", "1:/out/movie.h264"}},
      // The doubled blanks of the tool lines must not produce empty arguments.
      {R"("/p/aften.exe"  "/o/movie.wav"   -b 640 )",
       {"/p/aften.exe", "/o/movie.wav", "-b", "640"}},
      {R"(tool "" x)", {"tool", "", "x"}},
      {R"(tool "a""b" c)", {"tool", "a\"b", "c"}},
      // Backslashes are literal away from quotes; before a quote, odd ones give a quote,
      // even ones halve and the quote opens or closes.
      {R"(tool C:\dir\file a\\b)", {"tool", R"(C:\dir\file)", R"(a\\b)"}},
      {R"(tool a\"b \\\"c)", {"tool", "a\"b", R"(\"c)"}},
      {R"(tool "a\\" b)", {"tool", R"(a\)", "b"}},
      // The classic trap: a quoted folder ending in a backslash escapes the closing quote,
      // so the rest of the line joins the argument. (Our folders end in '/', not '\'.)
      {R"(tool "C:\dir\" next)", {"tool", "C:\\dir\" next"}},
      {R"(tool "C:\dir\\" next)", {"tool", R"(C:\dir\)", "next"}},
      {R"(tool -o"/out dir/x".mp4)", {"tool", "-o/out dir/x.mp4"}},
      {R"(tool "a b)", {"tool", "a b"}},  // an unterminated quote runs to the end
      // The program name ends at its closing quote; backslashes in it are never escapes.
      {R"("C:\tools\x.exe\" a)", {R"(C:\tools\x.exe\)", "a"}},
      {"/usr/bin/env  A=1", {"/usr/bin/env", "A=1"}},
  };
  for (const auto& [line, args] : cases) EXPECT_EQ(SplitCommandLine(line), args) << line;
}

TEST(IsSafeForCommandLine, RefusesQuotesAndLineBreaksOnly) {
  EXPECT_TRUE(IsSafeForCommandLine("/home/u/My Films/a (1) 'x' & y.mkv"));
  EXPECT_TRUE(IsSafeForCommandLine(R"(C:\dir\)"));
  EXPECT_FALSE(IsSafeForCommandLine("a\"b.mkv"));
  EXPECT_FALSE(IsSafeForCommandLine("a\nb.mkv") || IsSafeForCommandLine("a\rb.mkv"));
}

// --- The File dialog and drops ---

TEST_F(Sources, TheEndOfTheNameChoosesTheRoad) {
  const std::pair<const char*, std::string> cases[] = {{"film.mkv", "mkv"}, {"FILM.MKV", "mkv"},
                                                       {"clip.avi", "avi"}, {"CLIP.AVI", "avi"},
                                                       {"show.WMV", "wmv"}, {"show.ts", "wmv"}};
  for (const auto& [name, type] : cases) {
    SCOPED_TRACE(name);
    SourcesApp app;
    const std::string path = File(name);
    app.ui.openFileAnswers = {"  " + path + std::string(3, '\0') + " "};
    Command1_Click(app.app);
    const Form1& g = app.form();
    EXPECT_EQ(g.strType, type);
    EXPECT_EQ(g.strFullname + "|" + g.txtFile.Text, path + "|" + path);
    EXPECT_EQ(app.Inspected(), type == "mkv" ? Args{path} : Args{});
    if (type == "avi") EXPECT_EQ(g.cmdConv.Text() + std::to_string(g.chkMP2.Value), "Xvid1");
    if (type == "wmv") {
      EXPECT_EQ(g.cmdConv.Text() + std::to_string(g.chkAVCHD.Value), "H2641");  // AVCHD rule ran
      EXPECT_FALSE(g.chkFF.Enabled || g.chkVob.Enabled);
    }
    EXPECT_EQ(g.chk25.Enabled, type == "mkv");  // the recode or AVCHD rule ran
  }
}

// A path with a double quote or a line break is refused with a box before any tool runs,
// from every door: dialogs, drops, the command line; the old choice stays.
TEST_F(Sources, PathsTheToolsCannotTakeAreRefusedAndTheOldChoiceStays) {
  SourcesApp t;
  Form1& f = t.form();
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
  EXPECT_EQ(f.strFullname + "|" + f.txtFile.Text + "|" + f.strType + "|" + f.strSubBrowse + "|" +
                f.txtTMP.Text,
            "/films/old.mkv|/films/old.mkv|mkv|/films/old.srt|/old/");
  EXPECT_EQ(f.chkSubs.Value, 0);
  EXPECT_NE(t.ui.boxes[0].text.find("/films/say \"hi\".mkv"), std::string::npos);
  const Args dropped = {File("a.mkv"), files.str() + "/x\"y.mkv", File("c.mkv")};
  DropFiles(t.app, dropped);
  EXPECT_EQ(t.UnsafePathBoxes(), 4);
  EXPECT_EQ(t.Inspected(), (Args{dropped[0], dropped[2]}));
  EXPECT_EQ(t.app.conversionsStarted, 2);
  SourcesApp lineBreak;  // and from the command line
  ASSERT_TRUE(lineBreak.Start({File("two\nlines.mkv")}));
  EXPECT_EQ(lineBreak.UnsafePathBoxes(), 1);
  EXPECT_TRUE(lineBreak.runner.calls.empty());
  EXPECT_FALSE(lineBreak.form().bUnload);
}

// --- The command line ---

// Each case: a start (as settings may leave it), the options, the clicks for the same choice.
TEST_F(Sources, EachOptionReachesTheStateOfTheClickItPlays) {
  const std::string out = files.str() + "/out";
  fs::create_directories(out);
  auto none = [](App&) {};
  auto avchdStored = [](App& a) { a.form.cmdConv.SetListIndex(2), a.form.chkAVCHD.SetValue(1); };
  // clang-format off
  using Step = std::function<void(App&)>;
  const auto click = [](CheckBox Form1::*box) -> Step { return [box](App& a) { (a.form.*box).Click(); }; };
  const auto list = [](ComboBox Form1::*box, int index) -> Step {
    return [box, index](App& a) { (a.form.*box).SetListIndex(index); };
  };
  const auto both = [](Step first, Step second) -> Step {
    return [first, second](App& a) { first(a), second(a); };
  };
  const Step target360 = [](App& a) { a.form.cmbPlatform.SetListIndex(1), a.form.cmbPlatform_Change(); };
  const Step targetStereo = [](App& a) { a.form.cmbPlatform.SetListIndex(2), a.form.cmbPlatform_Change(); };
  const Step chooseOutput = [&](App& a) {
    static_cast<FakeUi&>(a.ctx.ui).folderAnswers.push_back(out);
    cmdTargetFolder_Click(a);
  };
  const Step embed = [](App& a) { a.form.chkSubs.Visible = true, a.form.chkSubs.Click(); };
  const struct {
    const char* what;
    Step start;
    Args args;
    Step clicks;
  } cases[] = {
      {"xbox", none, {"--target", "xbox360"}, target360},
      {"ps3 stereo after xbox", [](App& a) { a.form.cmbPlatform.SetListIndex(1), a.form.Hideon360(); }, {"--target", "ps3-stereo"}, targetStereo},
      {"output", none, {"--output", out}, chooseOutput},
      {"mp4 after a stored AVCHD", avchdStored, {"--mp4"}, click(&Form1::chkAVCHD)},
      {"m2ts", none, {"--m2ts"}, click(&Form1::chkVob)},
      {"m2ts after a stored AVCHD", avchdStored, {"--m2ts"}, both(click(&Form1::chkAVCHD), click(&Form1::chkVob))},
      {"avchd", none, {"--avchd"}, click(&Form1::chkAVCHD)},
      {"recode", none, {"--recode", "h264hq"}, both(click(&Form1::chkMP2), list(&Form1::cmdConv, 3))},
      {"recode mpeg2 after a stored AVCHD", avchdStored, {"--recode", "mpeg2", "--mp4"}, both(click(&Form1::chkAVCHD), both(click(&Form1::chkMP2), list(&Form1::cmdConv, 0)))},
      {"avchd takes H264 over Xvid", none, {"--avchd", "--recode", "xvid"}, both(both(click(&Form1::chkMP2), list(&Form1::cmdConv, 2)), click(&Form1::chkAVCHD))},
      {"safe sync", none, {"--fast-mux"}, click(&Form1::chkFF)},
      {"fast mux", none, {"--fast-mux", "--avchd"}, both(click(&Form1::chkAVCHD), click(&Form1::chkFF))},
      {"fit", none, {"--fit", "bluray"}, both(click(&Form1::chkDVD), list(&Form1::cmbSize, 2))},
      {"split", [](App& a) { a.form.Check1.SetValue(0); }, {"--split"}, click(&Form1::Check1)},
      {"no split", none, {"--no-split"}, click(&Form1::Check1)},
      {"normalize", none, {"--normalize"}, click(&Form1::chkNorm)},
      {"25 fps", none, {"--25fps"}, click(&Form1::chk25)},
      {"embed subs", none, {"--embed-subs"}, embed},
      {"priority", none, {"--priority", "high"}, list(&Form1::cmbPrio, 1)},
      {"shutdown", none, {"--shutdown"}, click(&Form1::chkShutDown)},
  };
  // clang-format on
  const std::string film = File("film.mkv");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestApp byOption, byClick, untouched;
    for (TestApp* t : {&byOption, &byClick, &untouched}) {
      t->form().txtTMP.Text = "/start/";
      c.start(t->app);
    }
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

// Wrong arguments say which and why; nothing converts and no settings are written.
TEST_F(Sources, WrongArgumentsAndForbiddenCombinationsAreRefused) {
  const std::string film = File("film.mkv"), dir = files.str();
  const std::pair<Args, std::string> wrong[] = {
      {{"--colour", film}, "unknown option --colour"},
      {{"--target", "ps4", film}, "--target ps4: choose one of ps3|ps3-stereo|xbox360"},
      {{"--recode"}, "--recode needs a value: mpeg2|h264|xvid|h264hq"},
      {{"--priority", "middle", film}, "--priority middle: choose one of low|normal|high"},
      {{"--audio", "0", film}, "--audio 0: a track number from 1 is needed"},
      {{"--output", dir + "/none", film}, "--output " + dir + "/none: no such folder"},
      {{"--subs", film + ".srt", film}, "--subs " + film + ".srt: no such file"},
      {{"--subs", dir + "/a\"b.srt", film}, "--subs " + dir + "/a\"b.srt: the file name"},
      {{"--m2ts", "--avchd", film}, "--avchd and --m2ts exclude each other"},
      {{"--mp4"}, "no file or folder to convert"},
      {{dir + "/gone.mkv"}, dir + "/gone.mkv: no such file or folder"},
      {{"-film.mkv"}, "unknown option -film.mkv"},
      {{"--avi-folder", film}, "--avi-folder " + film + ": no such folder"},
  };
  for (const auto& [args, error] : wrong)
    EXPECT_EQ(ParseCommandLine(args).error.substr(0, error.size()), error);
  const std::pair<Args, const char*> forbidden[] = {
      {{"--recode", "h264", "--25fps"}, "--25fps"},
      {{"--m2ts", "--25fps"}, "--25fps"},
      {{"--target", "xbox360", "--avchd"}, "--avchd"},
      {{"--recode", "h264", "--fast-mux"}, "--recode"},  // Safe Sync clears the recode
  };
  for (const auto& [given, named] : forbidden) {
    SourcesApp t;
    Args args = given;
    args.push_back(film);
    const CommandLine cmd = ParseCommandLine(args);
    ASSERT_EQ(cmd.error, "");
    const std::optional<std::string> refused = Form_Load(t.app, cmd);
    ASSERT_TRUE(refused.has_value()) << args[0];
    EXPECT_EQ(refused->rfind(named, 0), 0u) << *refused;
    EXPECT_TRUE(t.runner.calls.empty());
    EXPECT_FALSE(fs::exists(t.SettingsFile()));
    EXPECT_EQ(t.app.conversionsStarted, 0);
  }
}

TEST_F(Sources, OptionsStayOutOfTheSettingsFileUnlessSaveIsGiven) {
  const std::string film = File("film.mkv");
  const std::string stored =
      "a\r\nb\r\nc\r\n" + files.withSep() +
      "\r\n 0 \r\n 1 \r\n/x/\r\n\r\n 2 \r\n\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n";
  for (bool save : {false, true}) {
    SCOPED_TRACE(save ? "--save" : "without --save");
    SourcesApp t;
    WriteFile(t.SettingsFile(), stored);
    Args args = {"--target", "xbox360",         "--priority", "high", "--normalize",
                 "--output", t.outputDir.str(), "--no-split", film};
    if (save) args.insert(args.begin(), "--save");
    ASSERT_TRUE(t.Start(args));
    EXPECT_EQ(t.app.conversionsStarted, 1);
    const Args lines = CrLfLines(ReadFile(t.SettingsFile()));
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[6], files.withSep());  // the program's own lines as every run writes them
    const Args options = {lines[3], lines[5], lines[10], lines[13], lines[14]};
    if (save)
      EXPECT_EQ(options, (Args{t.outputDir.withSep(), " 0 ", " 1 ", " 1 ", " 1 "}));
    else
      EXPECT_EQ(options, (Args{files.withSep(), " 1 ", " 0 ", " 0 ", " 0 "}));
  }
}

// --- Sources named on the command line ---

TEST_F(Sources, SourcesAreTakenAsGivenInOrderAndDashDashEndsOptions) {
  const std::string a = File("my film é.mkv"), b = File("b.avi"), dash = File("-o.wmv");
  EXPECT_EQ(ParseCommandLine(Args{a, "--m2ts", b}).sources, (Args{a, b}));
  EXPECT_EQ(ParseCommandLine(Args{"--", dash, a}).sources, (Args{dash, a}));
  // An unquoted name with blanks arrives in pieces and is one name again, as always.
  EXPECT_EQ(ParseCommandLine(Args{files.str() + "/my", "film", "é.mkv"}).sources, Args{a});
  EXPECT_EQ(ParseCommandLine(Args{"\"" + a + "\""}).sources, Args{a});
  EXPECT_NE(ParseCommandLine(Args{files.str() + "/missing.mkv"}).error, "");

  const std::string mkv = File("My Film 2.MKV");
  for (const std::string& argument : {mkv, "\"" + mkv + "\""}) {
    SourcesApp t;  // a Matroska file is converted and the program ends
    ASSERT_TRUE(t.Start({argument}));
    EXPECT_TRUE(t.app.bCommandLine && t.form().bUnload);
    EXPECT_EQ(t.form().strFullname + "|" + t.form().txtFile.Text, mkv + "|" + mkv);
    EXPECT_EQ(t.app.conversionsStarted, 1);
    EXPECT_EQ(t.Inspected(), Args{mkv});
  }
}

// A name that starts with a dash, given relative, would reach the tools as an option: it
// reaches them absolute from the command line, a drop and the typed boxes.
TEST_F(Sources, RelativePathsReachTheToolsAbsoluteEvenWithALeadingDash) {
  const std::string path = File("-o.mkv");
  fs::create_directories(files.path() / "-out");
  const fs::path before = fs::current_path();
  fs::current_path(files.path());
  EXPECT_EQ(ParseCommandLine(Args{"-o.mkv"}).sources, Args{"-o.mkv"});  // a file: that file
  EXPECT_NE(ParseCommandLine(Args{"-x.mkv"}).error, "");
  SourcesApp fromCommandLine, dropped, typed;
  EXPECT_TRUE(fromCommandLine.Start({"--", "-o.mkv"}));
  EXPECT_EQ(fromCommandLine.form().txtFile.Text, path);
  EXPECT_EQ(fromCommandLine.app.conversionsStarted, 1);
  DropFiles(dropped.app, {"-o.mkv"});
  typed.form().txtFile.Text = typed.form().strFullname = "-o.mkv";
  typed.form().txtTMP.Text = "-out";
  Command2_Click(typed.app);
  fs::current_path(before);
  for (SourcesApp* t : {&fromCommandLine, &dropped, &typed}) EXPECT_EQ(t->Inspected(), Args{path});
  ASSERT_FALSE(typed.runner.CommandLines().empty());
  const Args report = SplitCommandLine(typed.runner.CommandLines()[0]);
  ASSERT_EQ(report.size(), 4u);
  EXPECT_EQ(report[3].rfind(files.withSep() + "-out/info.", 0), 0u) << report[3];
  EXPECT_EQ(typed.form().txtTMP.Text, files.withSep() + "-out/");
}

// --- Folders ---

// A folder run with nothing to do says why and exits 0; an empty result is what a failed
// run left, so that film is converted again; a refused name is a failure, not nothing.
TEST_F(Sources, AFolderWithNothingToDoSaysSo) {
  const std::string dir = files.str();
  // clang-format off
  const struct {
    Args names;
    Args results;  // "name=content" in the output folder
    std::string nothing;
    int started, unsafe, status;
  } cases[] = {
      {{"clip.avi"}, {}, "No MKV files found in " + dir + ".", 0, 0, 0},
      {{"a.mkv", "b.mkv"}, {"a.mp4", "b.mpg"}, "Nothing to convert in " + dir + ": all 2 files are done.", 0, 0, 0},
      {{"a.mkv"}, {"a.mp4="}, "", 1, 0, 1},
      {{"a.mkv", "line\nbreak.mkv"}, {"a.mp4"}, "", 1, 1, 1},
  };
  // clang-format on
  for (const auto& c : cases) {
    fs::remove_all(files.path());
    for (const std::string& name : c.names) File(name);
    SourcesApp t;
    for (const std::string& result : c.results)
      WriteFile(t.outputDir.path() / result.substr(0, result.find('=')),
                result.find('=') == std::string::npos ? "done" : "");
    t.form().txtTMP.Text = t.outputDir.str();
    ASSERT_TRUE(t.Start({dir}));
    EXPECT_TRUE(t.app.bFolderMode);
    EXPECT_EQ(t.app.nothingToConvert, c.nothing);
    EXPECT_EQ(t.app.conversionsStarted, c.started) << c.names[0];
    EXPECT_EQ(t.UnsafePathBoxes(), c.unsafe);
    const Args log = t.DebugLogLines();
    if (c.status == 0)
      EXPECT_EQ(
          std::count_if(log.begin(), log.end(),
                        [](auto& l) { return l.starts_with("Already converted, skipped: "); }),
          std::ssize(c.results));
    if (c.started == 0 && c.unsafe == 0) EXPECT_TRUE(t.runner.calls.empty());
    EXPECT_FALSE(t.form().bUnload);
    // Only the finished films' count decides; the fakes convert nothing successfully.
    if (c.started == 0) EXPECT_EQ(HeadlessExitStatus(t.app), c.status);
  }
}

}  // namespace
}  // namespace quillet::test
