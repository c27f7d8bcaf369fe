// The window model: its option rules, the settings file, what a stopped conversion undoes.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <functional>

#include "app/ReplaceFile.h"
#include "app/Settings.h"
#include "base/Text.h"
#include "convert/RunCleanup.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// --- Option rules ---

// A rule that clears another box runs that box's rule at that point, so the order of the
// steps decides what is left enabled and which caption Safe Sync ends with.
TEST(Form1Rules, EachClickRunsItsRuleAndTheRulesOfTheBoxesItClears) {
  // clang-format off
  const struct {
    const char* name;
    std::function<void(Form1&)> steps;
    std::function<void(const Form1&)> check;
  } cases[] = {
      {"Fast Mux only names the muxing mode: clicking it disables nothing",
       [](Form1& f) { f.chkAVCHD.Click(), f.chkFF.Click(); },
       [](const Form1& f) { EXPECT_TRUE(f.chkAVCHD.Enabled && f.chkMP2.Enabled); }},
      {"AVCHD off again restores the format and Safe Sync",
       [](Form1& f) { f.cmdConv.SetListIndex(2), f.chkAVCHD.Click(), f.chkAVCHD.Click(); },
       [](const Form1& f) { EXPECT_EQ(f.cmdConv.Text() + " " + f.chkFF.Caption, "Xvid Safe Sync");
                            EXPECT_TRUE(f.chkVob.Enabled && f.chk25.Enabled && f.chkMP2.Enabled); }},
      {"Safe Sync over a recode: the recode rule runs before the boxes are disabled",
       [](Form1& f) { f.chkMP2.Click(), f.chkSubs.Click(), f.chkFF.Click(); },
       [](const Form1& f) { EXPECT_EQ(f.chkMP2.Value + f.chkSubs.Value, 0);
                            EXPECT_FALSE(f.chkSubs.Enabled || f.chkMP2.Enabled || f.chkVob.Enabled || f.chk25.Enabled || f.chkAVCHD.Enabled); }},
      {"25 fps disables recode, VOB and Safe Sync", [](Form1& f) { f.chk25.Click(); },
       [](const Form1& f) { EXPECT_FALSE(f.chkMP2.Enabled || f.chkVob.Enabled || f.chkFF.Enabled); }},
      {"recode off clears embedded subs", [](Form1& f) { f.chkMP2.Click(), f.chkSubs.Click(), f.chkMP2.Click(); },
       [](const Form1& f) { EXPECT_FALSE(f.chkSubs.Value || f.chkSubs.Enabled); EXPECT_TRUE(f.chk25.Enabled); }},
      {"AVCHD after 25 fps: the 25 fps rule enables VOB again", [](Form1& f) { f.chk25.Click(), f.chkAVCHD.Click(); },
       [](const Form1& f) { EXPECT_FALSE(f.chk25.Value || f.chk25.Enabled);
                            EXPECT_TRUE(f.chkVob.Enabled && f.chkMP2.Enabled && f.chkFF.Caption == "Fast Mux"); }},
      {"VOB ticked by code under AVCHD: clearing AVCHD names Safe Sync again",
       [](Form1& f) { f.cmdConv.SetListIndex(3), f.chkAVCHD.Click(), f.chkVob.SetValue(1); },
       [](const Form1& f) { EXPECT_FALSE(f.chkAVCHD.Value || f.chkAVCHD.Enabled);
                            EXPECT_EQ(f.cmdConv.Text() + " " + f.chkFF.Caption, "H264 (HQ) Safe Sync"); }},
      {"Xbox 360 hides the disc outputs and restores the format AVCHD saved",
       [](Form1& f) { f.cmdConv.SetListIndex(0), f.chkAVCHD.Click(), f.cmbPlatform.SetListIndex(1), f.cmbPlatform_Change(); },
       [](const Form1& f) { EXPECT_EQ(f.cmdConv.Text() + " " + f.chkFF.Caption, "MPEG2 Safe Sync");
                            EXPECT_FALSE(f.chkAVCHD.Value || f.chkAVCHD.Visible || f.chkVob.Visible); EXPECT_TRUE(f.chk25.Enabled); }},
      {"a value set by code to what it already is runs no rule",
       [](Form1& f) { f.chkVob.Enabled = false, f.chk25.SetValue(0); },
       [](const Form1& f) { EXPECT_FALSE(f.chkVob.Enabled); }},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestApp fresh;
    c.steps(fresh.form());
    c.check(fresh.form());
  }
}

// --- The settings file ---

// A stored file as the program writes it.
const std::string kStored =
    "C:\\mkv\\mkvextract.exe\r\nC:\\ff\\ffmpeg.exe\r\nC:\\mp4\\MP4Box.exe\r\n/out/\r\n 0 \r\n 1 "
    "\r\n/films/\r\n--crf 22\r\n 2 \r\n-sub-bg-alpha 0\r\n 0 \r\n 0 \r\n 0 \r\n 1 \r\n 1 \r\n";

struct SettingsApp : TestApp {
  fs::path File() const { return programDir.path() / "Quillet.conf"; }
  // Stores the lines with some changed (index, text), then loads them.
  void Load(std::vector<std::pair<int, std::string>> changes = {},
            const std::string& end = "\r\n") {
    Strings lines = SplitLines(kStored);
    for (auto& [index, text] : changes) lines[index] = text;
    WriteFile(File(), Join(lines, end) + end);
    LoadSettings(app);
  }
  Strings FolderNames() const {
    Strings names;
    for (const auto& entry : fs::directory_iterator(programDir.path()))
      names.push_back(entry.path().filename().string());
    return names;
  }
};

// An output folder that does not exist is not stored: the file keeps the one it held.
TEST(SettingsFile, StartValuesAndChosenOptionsAreWrittenByteForByte) {
  SettingsApp t;
  Form1& f = t.form();
  f.txtTMP.Text = "/";
  SaveSettings(t.app);
  EXPECT_EQ(ReadFile(t.File()),
            "\r\n\r\n\r\n/\r\n 0 \r\n 1 \r\n\r\n\r\n-1 \r\n\r\n-1 \r\n 0 \r\n 0 \r\n"
            "-1 \r\n 0 \r\n");
  f.strMKV = "/p/MKVToolnix/mkvextract.exe", f.strFF = "/p/FFMpeg/ffmpeg.exe";
  f.strMP4 = "/p/MP4Box/MP4Box.exe", f.txtTMP.Text = "/media/out put/", f.strMKVPath = "/films/";
  f.strH264Opts = " --crf 20 ", f.strSubOpts = "-sub-bg-alpha 0";
  f.cmdConv.SetListIndex(3), f.cmbPlatform.SetListIndex(2);
  f.chkAVCHD.Click();  // selects H264, clears VOB
  f.chkMP2.Click(), f.Check1.Click(), f.cmbPrio.SetListIndex(1), f.chkNorm.Click();
  SaveSettings(t.app);
  EXPECT_EQ(ReadFile(t.File()),
            "/p/MKVToolnix/mkvextract.exe\r\n/p/FFMpeg/ffmpeg.exe\r\n/p/MP4Box/MP4Box.exe\r\n"
            "/\r\n 0 \r\n 0 \r\n/films/\r\n --crf 20 \r\n 1 \r\n-sub-bg-alpha 0\r\n"
            " 2 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n");
}

// Lines may end in CR LF or in LF alone; the rewrite ends them in CR LF.
TEST(SettingsFile, AStoredFileIsRestoredAndRewrittenUnchanged) {
  for (const char* end : {"\r\n", "\n"}) {
    SettingsApp t;
    t.Load({}, end);
    const Form1& f = t.form();
    EXPECT_EQ(f.strMKV + "|" + f.txtTMP.Text + "|" + f.strMKVPath + "|" + f.strH264Opts + "|" +
                  f.strConvOpts + "|" + f.cmdConv.Text() + "|" + f.strSubOpts + "|" +
                  f.cmbPrio.Text(),
              "C:\\mkv\\mkvextract.exe|/out/|/films/|--crf 22| 2 |Xvid|-sub-bg-alpha 0|High");
    EXPECT_EQ(f.cmbPlatform.ListIndex, 0);
    EXPECT_EQ(f.chkNorm.Value, 1);
    EXPECT_TRUE(t.components.registered.empty() && t.ui.boxes.empty());
    SaveSettings(t.app);
    EXPECT_EQ(ReadFile(t.File()), kStored);
  }
}

// Line 9 (the recode format) and line 14 (the priority) count only when they are three
// characters long, as the program writes them; lines without a number leave their controls.
TEST(SettingsFile, OddLinesAreReadAsTheProgramAlwaysReadThem) {
  const struct {
    const char *line9, *line14;
    int conv;
    const char* convOpts;
    int prio;
  } cases[] = {
      {" 3 ", " 1 ", 3, " 3 ", 1}, {"3", "1", 0, "0", 0},         {"-1 ", "-1 ", -1, "-1 ", -1},
      {"", "", 0, "0", 0},         {"abc", "abc", -1, "abc", -1}, {" 9 ", " 5 ", -1, " 9 ", -1},
  };
  for (const auto& c : cases) {
    SettingsApp t;
    t.Load({{8, c.line9}, {13, c.line14}});
    EXPECT_EQ(t.form().cmdConv.ListIndex, c.conv) << "line 9 '" << c.line9 << "'";
    EXPECT_EQ(t.form().strConvOpts, c.convOpts);
    EXPECT_EQ(t.form().cmbPrio.ListIndex, c.prio) << "line 14 '" << c.line14 << "'";
  }
  SettingsApp t;
  t.form().chkNorm.Click();
  t.Load({{4, "yes"}, {5, " 2 "}, {10, "x"}, {14, "on"}});  // a check box holds 0 or 1 only
  const Form1& f = t.form();
  EXPECT_EQ(std::to_string(f.chkVob.Value) + std::to_string(f.Check1.Value) +
                std::to_string(f.cmbPlatform.ListIndex) + std::to_string(f.chkNorm.Value),
            "01-11");
  EXPECT_EQ(f.txtTMP.Text, "/out/");  // the lines around them still count
  EXPECT_EQ(f.cmbPrio.ListIndex, 1);
}

// Each stored choice runs its rule in line order: the target hides the VOB box after the
// VOB line ticked it; the AVCHD line after the format line saves Xvid and selects H264.
TEST(SettingsFile, StoredChoicesRunTheirRulesInLineOrder) {
  SettingsApp t;
  t.Load({{4, " 1 "}, {8, " 2 "}, {10, " 1 "}, {11, " 1 "}});
  const Form1& f = t.form();
  EXPECT_FALSE(f.chkVob.Value || f.chkVob.Visible || f.chkAVCHD.Visible);
  EXPECT_EQ(std::to_string(f.chkAVCHD.Value) + std::to_string(f.intListConv), "12");
  EXPECT_EQ(f.cmdConv.Text() + " " + f.chkFF.Caption, "H264 Fast Mux");
}

TEST(SettingsFile, FoundWhateverTheCaseAndFirstStartRegistersTheComponents) {
  SettingsApp t;
  WriteFile(t.programDir.path() / "QUILLET.CONF", kStored);
  LoadSettings(t.app);
  EXPECT_EQ(t.form().txtTMP.Text, "/out/");
  SaveSettings(t.app);  // one settings file, under the program's spelling
  EXPECT_EQ(t.FolderNames(), Strings{"Quillet.conf"});
  EXPECT_EQ(ReadFile(t.File()), kStored);
  EXPECT_TRUE(t.components.registered.empty());

  SettingsApp first;
  LoadSettings(first.app);
  const std::string dir = first.programDir.str();
  EXPECT_EQ(first.components.registered,
            (Strings{"+" + dir + "/FSFWrap.dll", "+" + dir + "/WAVDEST.AX"}));
  EXPECT_EQ(first.form().cmbPlatform.ListIndex, -1);
}

TEST(SettingsFile, ARewriteThatFailsKeepsTheOldFileAndLeavesNoCopy) {
  {
    SettingsApp t;  // the temporary copy cannot be created: a folder stands in its place
    t.Load();
    t.form().chkNorm.Click();
    fs::create_directory(ReplacementTempPath(t.File().string()));
    SaveSettings(t.app);
    EXPECT_EQ(ReadFile(t.File()), kStored);
  }
  SettingsApp t;  // files may grow to 16 bytes only, as on a disk that fills up
  t.Load();
  t.form().strH264Opts = std::string(4096, 'x');
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  SaveSettings(t.app);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(ReadFile(t.File()), kStored);
  EXPECT_EQ(t.FolderNames(), Strings{"Quillet.conf"});
  // A failed rename removes the temporary file and keeps the target.
  const fs::path target = t.outputDir.path() / "target";
  WriteFile(target / "inside", "kept");  // a non-empty folder cannot be replaced by a file
  EXPECT_FALSE(ReplaceFileContents(target.string(), "new"));
  EXPECT_FALSE(fs::exists(ReplacementTempPath(target.string())));
  EXPECT_EQ(ReadFile(target / "inside"), "kept");
}

// --- A stopped conversion ---

// The working names in the output folder, the partial result, the run's folders go; the
// earlier result set aside is put back; a settled one and other files stay.
TEST(RunCleanup, UndoLeavesOnlyWhatWasThereBefore) {
  TempFolder out{"quillet-cleanup"};
  const auto at = [&](const std::string& name) { return (out.path() / name).string(); };
  for (const char* name : {"movie.h264", "movie.aac", "movie.dts", "movie_raw.h264", "movie.ssa",
                           "film.mp4", "other.mp4", "movie.h264.keep", "film.mkv"})
    WriteFile(at(name), name);
  WriteFile(at("film.mp4.earlier"), "earlier film");
  WriteFile(at("part.mp4.earlier"), "settled");
  WriteFile(at("split/film-001.mkv"), "part");
  RunCleanup cleanup;
  cleanup.AddOutputFolder(out.withSep());
  cleanup.AddPartialResult(at("film.mp4"));
  cleanup.AddSetAside(at("film.mp4.earlier"), at("film.mp4"));
  cleanup.AddSetAside(at("part.mp4.earlier"), at("part.mp4"));
  cleanup.ForgetSetAside(at("part.mp4.earlier"));
  cleanup.AddWorkFolder(at("split"));
  cleanup.Undo();
  Strings names;
  for (const auto& entry : fs::directory_iterator(out.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (Strings{"film.mkv", "film.mp4", "movie.h264.keep", "other.mp4", "part.mp4.earlier"}));
  EXPECT_EQ(ReadFile(at("film.mp4")), "earlier film");
}

}  // namespace
}  // namespace quillet::test
