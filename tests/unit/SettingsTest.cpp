// The settings file beside the program: its exact bytes, how a stored file is applied
// to the window (in line order, with the option rules running), first start, and a
// rewrite that never loses the old file.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ReplaceFile.h"
#include "app/Settings.h"
#include "app/SettingsText.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

// Fifteen settings lines ended by CR LF (or by the given end).
std::string Lines(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

// A stored file as the program writes it.
std::vector<std::string> StoredLines() {
  return SplitLines(
      "C:\\mkv\\mkvextract.exe\nC:\\ff\\ffmpeg.exe\nC:\\mp4\\MP4Box.exe\n/out/\n 0 \n 1 \n/films/\n"
      "--crf 22\n 2 \n-sub-bg-alpha 0\n 0 \n 0 \n 0 \n 1 \n 1 \n");
}

class Settings : public ::testing::Test {
 protected:
  fs::path SettingsFile() const { return t.programDir.path() / "Quillet.conf"; }
  void Store(const std::string& content, const std::string& name = "Quillet.conf") {
    WriteFile(t.programDir.path() / name, content);
  }
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(t.programDir.path()))
      names.push_back(entry.path().filename().string());
    return names;
  }

  TestApp t;
  Form1& f = t.form();
};

TEST(SettingsText, NumbersArePrintedLikeSixteenBitIntegers) {
  EXPECT_EQ(FormatSettingsNumber(0), " 0 ");
  EXPECT_EQ(FormatSettingsNumber(1), " 1 ");
  EXPECT_EQ(FormatSettingsNumber(-1), "-1 ");
  EXPECT_EQ(FormatSettingsNumber(12), " 12 ");
  EXPECT_EQ(FormatSettingsNumber(-32768), "-32768 ");
}

TEST(SettingsText, OnlyNumbersAreReadAsNumbers) {
  struct Case {
    const char* text;
    std::optional<int> value;
  } cases[] = {
      // clang-format off
      {" 1 ", 1}, {"1", 1}, {"-1 ", -1}, {"+2", 2}, {"\t3", 3}, {" 007 ", 7}, {"32767", 32767},
      {"-32768", -32768}, {"", std::nullopt}, {"   ", std::nullopt}, {"x", std::nullopt},
      {"1x", std::nullopt}, {"- 1", std::nullopt}, {"1.5", std::nullopt}, {"32768", std::nullopt},
      {"99999999999999999999", std::nullopt},
      // clang-format on
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseSettingsNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(SettingsText, LinesEndInCrLfOrLf) {
  EXPECT_EQ(SplitSettingsLines("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitSettingsLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(SplitSettingsLines("").empty());
}

TEST_F(Settings, StartValuesAreWrittenByteForByte) {
  f.txtTMP.Text = "/home/user/";
  SaveSettings(t.app);
  EXPECT_EQ(ReadFile(SettingsFile()),
            "\r\n\r\n\r\n/home/user/\r\n 0 \r\n 1 \r\n\r\n\r\n-1 \r\n\r\n-1 \r\n 0 \r\n 0 \r\n"
            "-1 \r\n 0 \r\n");
}

TEST_F(Settings, ChosenOptionsAreWrittenByteForByte) {
  f.strMKV = "/p/MKVToolnix/mkvextract.exe";
  f.strFF = "/p/FFMpeg/ffmpeg.exe";
  f.strMP4 = "/p/MP4Box/MP4Box.exe";
  f.txtTMP.Text = "/media/out put/";
  f.strMKVPath = "/films/";
  f.strH264Opts = " --crf 20 ";
  f.strSubOpts = "-sub-bg-alpha 0";
  f.cmdConv.SetListIndex(3);
  f.cmbPlatform.SetListIndex(2);
  f.chkAVCHD.Click();  // selects H264, clears VOB
  f.chkMP2.Click();
  f.Check1.Click();
  f.cmbPrio.SetListIndex(1);
  f.chkNorm.Click();
  SaveSettings(t.app);
  EXPECT_EQ(ReadFile(SettingsFile()),
            "/p/MKVToolnix/mkvextract.exe\r\n/p/FFMpeg/ffmpeg.exe\r\n/p/MP4Box/MP4Box.exe\r\n"
            "/media/out put/\r\n 0 \r\n 0 \r\n/films/\r\n --crf 20 \r\n 1 \r\n-sub-bg-alpha 0\r\n"
            " 2 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n");
}

// Lines may end in CR LF or in LF alone; the rewrite ends them in CR LF.
TEST(SettingsFile, AStoredFileIsRestoredAndRewrittenUnchanged) {
  for (const char* end : {"\r\n", "\n"}) {
    TestApp t;
    Form1& f = t.form();
    WriteFile(t.programDir.path() / "Quillet.conf", Lines(StoredLines(), end));
    LoadSettings(t.app);
    EXPECT_EQ(f.strMKV, "C:\\mkv\\mkvextract.exe");
    EXPECT_EQ(f.txtTMP.Text, "/out/");
    EXPECT_EQ(f.strMKVPath, "/films/");
    EXPECT_EQ(f.strH264Opts, "--crf 22");
    EXPECT_EQ(f.strConvOpts, " 2 ");
    EXPECT_EQ(f.cmdConv.Text(), "Xvid");
    EXPECT_EQ(f.strSubOpts, "-sub-bg-alpha 0");
    EXPECT_EQ(f.cmbPlatform.ListIndex, 0);
    EXPECT_EQ(f.cmbPrio.Text(), "High");
    EXPECT_EQ(f.chkNorm.Value, 1);
    EXPECT_TRUE(t.components.registered.empty());
    EXPECT_TRUE(t.ui.boxes.empty());

    SaveSettings(t.app);
    EXPECT_EQ(ReadFile(t.programDir.path() / "Quillet.conf"), Lines(StoredLines()));
  }
}

// Line 9 (the recode format) and line 14 (the priority) count only when they are
// three characters long, as the program writes them.
TEST_F(Settings, FormatAndPriorityLinesNeedTheirThreeCharacters) {
  struct Case {
    const char* line9;
    int conv;
    const char* convOpts;
    const char* line14;
    int prio;
  } cases[] = {
      {" 3 ", 3, " 3 ", " 1 ", 1},  // as written
      {"3", 0, "0", "1", 0},        // short lines fall back to the first item
      {"-1 ", -1, "-1 ", "-1 ", -1}, {"", 0, "0", "", 0},
      {"abc", -1, "abc", "abc", -1},  // three characters but no number: unchanged
      {" 9 ", -1, " 9 ", " 5 ", -1},  // no such item: unchanged
  };
  for (const Case& c : cases) {
    TestApp fresh;
    std::vector<std::string> lines = StoredLines();
    lines[8] = c.line9;
    lines[13] = c.line14;
    WriteFile(fresh.programDir.path() / "Quillet.conf", Lines(lines));
    LoadSettings(fresh.app);
    EXPECT_EQ(fresh.form().cmdConv.ListIndex, c.conv) << "line 9 '" << c.line9 << "'";
    EXPECT_EQ(fresh.form().strConvOpts, c.convOpts) << "line 9 '" << c.line9 << "'";
    EXPECT_EQ(fresh.form().cmbPrio.ListIndex, c.prio) << "line 14 '" << c.line14 << "'";
  }
}

TEST_F(Settings, XboxTargetHidesTheDiscOutputsWhileLoadingInLineOrder) {
  std::vector<std::string> lines = StoredLines();
  lines[4] = " 1 ";   // VOB, applied before the target hides it
  lines[8] = " 2 ";   // Xvid
  lines[10] = " 1 ";  // Xbox 360
  lines[11] = " 1 ";  // AVCHD, applied after the target
  Store(Lines(lines));
  LoadSettings(t.app);
  EXPECT_EQ(f.chkVob.Value, 0);
  EXPECT_FALSE(f.chkVob.Visible);
  EXPECT_FALSE(f.chkAVCHD.Visible);
  EXPECT_EQ(f.chkAVCHD.Value, 1);
  // The AVCHD rule ran after the format was set: Xvid saved, H264 selected.
  EXPECT_EQ(f.intListConv, 2);
  EXPECT_EQ(f.cmdConv.Text(), "H264");
  EXPECT_EQ(f.chkFF.Caption, "Fast Mux");
}

TEST_F(Settings, StoredChoicesRunTheirRulesOneAfterTheOther) {
  std::vector<std::string> lines = StoredLines();
  lines[4] = " 1 ";   // VOB: clears and disables AVCHD and 25 fps
  lines[11] = " 1 ";  // AVCHD: clears and disables VOB again
  lines[12] = " 1 ";  // recode
  Store(Lines(lines));
  f.chkAVCHD.Visible = false;  // a PS3 target shows it again
  LoadSettings(t.app);
  EXPECT_EQ(f.chkVob.Value, 0);
  EXPECT_FALSE(f.chkVob.Enabled);
  EXPECT_EQ(f.chkAVCHD.Value, 1);
  EXPECT_TRUE(f.chkAVCHD.Visible);
  EXPECT_EQ(f.chkMP2.Value, 1);
  EXPECT_FALSE(f.chk25.Enabled);
  EXPECT_TRUE(f.chkSubs.Enabled);
}

TEST_F(Settings, LinesWithoutANumberLeaveTheirControls) {
  std::vector<std::string> lines = StoredLines();
  lines[4] = "yes";  // VOB
  lines[5] = " 2 ";  // split: a check box holds 0 or 1 only
  lines[10] = "x";   // target
  lines[14] = "on";  // normalise
  Store(Lines(lines));
  f.chkNorm.Click();
  LoadSettings(t.app);
  EXPECT_EQ(f.chkVob.Value, 0);
  EXPECT_EQ(f.Check1.Value, 1);
  EXPECT_EQ(f.cmbPlatform.ListIndex, -1);
  EXPECT_EQ(f.chkNorm.Value, 1);
  EXPECT_EQ(f.txtTMP.Text, "/out/");  // the lines around them still count
  EXPECT_EQ(f.cmbPrio.ListIndex, 1);
  EXPECT_TRUE(t.ui.boxes.empty());
}

TEST_F(Settings, AShortFileSetsOnlyTheLinesItHas) {
  std::vector<std::string> lines = StoredLines();
  lines.resize(6);
  lines[4] = " 1 ";
  Store(Lines(lines));
  const std::string startFolder = f.txtTMP.Text;
  LoadSettings(t.app);
  EXPECT_EQ(f.txtTMP.Text, "/out/");
  EXPECT_EQ(f.chkVob.Value, 1);
  EXPECT_EQ(f.cmdConv.ListIndex, -1);
  EXPECT_EQ(f.cmbPlatform.ListIndex, -1);
  EXPECT_EQ(f.cmbPrio.ListIndex, -1);
  EXPECT_TRUE(f.strMKVPath.empty());
  EXPECT_TRUE(t.ui.boxes.empty());
  EXPECT_TRUE(t.components.registered.empty());
  EXPECT_NE(startFolder, "/out/");
}

TEST_F(Settings, TheFileIsFoundWhateverTheCaseOfItsName) {
  Store(Lines(StoredLines()), "QUILLET.CONF");
  LoadSettings(t.app);
  EXPECT_EQ(f.txtTMP.Text, "/out/");
  EXPECT_TRUE(t.components.registered.empty());

  // Rewriting leaves one settings file, under the program's spelling.
  SaveSettings(t.app);
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"Quillet.conf"}));
  EXPECT_EQ(ReadFile(SettingsFile()), Lines(StoredLines()));
}

TEST_F(Settings, FirstStartRegistersTheComponentsAndLaterStartsDoNot) {
  const std::string dir = t.programDir.str();
  LoadSettings(t.app);
  EXPECT_EQ(t.components.registered,
            (std::vector<std::string>{"+" + dir + "/FSFWrap.dll", "+" + dir + "/WAVDEST.AX"}));
  EXPECT_EQ(f.cmbPlatform.ListIndex, -1);
  EXPECT_EQ(f.cmdConv.ListIndex, -1);
  EXPECT_EQ(f.cmbPrio.ListIndex, -1);

  SaveSettings(t.app);
  TestApp later;
  fs::copy_file(SettingsFile(), later.programDir.path() / "Quillet.conf");
  LoadSettings(later.app);
  EXPECT_TRUE(later.components.registered.empty());
}

TEST_F(Settings, ARewriteThatCannotBeWrittenKeepsTheOldFile) {
  const std::string stored = Lines(StoredLines());
  Store(stored);
  LoadSettings(t.app);
  f.chkNorm.Click();
  // The temporary copy cannot be created: a folder stands in its place.
  fs::create_directory(ReplacementTempPath(SettingsFile().string()));
  SaveSettings(t.app);
  EXPECT_EQ(ReadFile(SettingsFile()), stored);
}

TEST_F(Settings, AWriteThatFailsHalfwayKeepsTheOldFileAndLeavesNoCopy) {
  const std::string stored = Lines(StoredLines());
  Store(stored);
  LoadSettings(t.app);
  f.strH264Opts = std::string(4096, 'x');
  // Files may grow to 16 bytes only, as on a disk that fills up during the write.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  SaveSettings(t.app);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(ReadFile(SettingsFile()), stored);
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"Quillet.conf"}));
}

TEST(ReplaceFile, AFailedRenameRemovesTheTemporaryFileAndKeepsTheTarget) {
  TempFolder dir;
  const fs::path target = dir.path() / "target";
  WriteFile(target / "inside", "kept");  // a non-empty folder cannot be replaced by a file
  EXPECT_FALSE(ReplaceFileContents(target.string(), "new"));
  EXPECT_FALSE(fs::exists(ReplacementTempPath(target.string())));
  EXPECT_EQ(ReadFile(target / "inside"), "kept");
}

TEST_F(Settings, DoubleClickWritesTheRegistrationBatchFile) {
  const std::string dir = t.programDir.str();
  WriteFile(t.programDir.path() / "register.bat", "old content that is longer than the new\r\n");
  Form_DblClick(t.app);
  EXPECT_EQ(ReadFile(t.programDir.path() / "register.bat"),
            "regsvr32 \"" + dir + "/FSFWrap.dll\"\r\nregsvr32 \"" + dir + "/WAVDEST.AX\"\r\n");
}

}  // namespace
}  // namespace quillet::test
