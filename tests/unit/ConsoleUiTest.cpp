// Runs without a display: what reaches standard error, the answers boxes take, and how
// the argument and the run's conversions become the exit status.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "app/ConsoleUi.h"
#include "app/Program.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

class Console : public ::testing::Test {
 protected:
  Console() { ui.Attach(t.form()); }
  std::ostringstream err;
  ConsoleUi ui{err};
  TestApp t;
};

TEST_F(Console, ProgressIsEchoedOncePerChange) {
  Form1& f = t.form();
  ui.Repaint();  // the first text counts as a change
  ui.Repaint();
  f.txtProgress.Text = "Extracting video...";
  ui.Repaint();
  ui.Repaint();
  f.txtProgress.Text = "";
  ui.Repaint();
  f.txtProgress.Text = "Extracting video...";
  ui.Repaint();
  f.txtProgress.Text = "Conversion done";
  ui.Repaint();
  EXPECT_EQ(err.str(),
            "progress......\nExtracting video...\nExtracting video...\nConversion done\n");
}

// Nobody could press its buttons: the folder window is not pretended to be there.
TEST_F(Console, TheFolderWindowSaysItNeedsADisplay) {
  ui.ShowFolderWindow();
  ui.HideFolderWindow();
  EXPECT_EQ(err.str(),
            "Folder conversion: the folder window needs a display; name the folder on the "
            "command line instead.\n");
}

TEST_F(Console, ABoxIsOneLineWithItsTitle) {
  ui.MsgBox("Source not found.", MsgStyle::kCritical, "Error");
  ui.MsgBox("Line one.\rLine two.\r\nLine three.", MsgStyle::kOkOnly, "");
  EXPECT_EQ(err.str(),
            "Error: Source not found.\n"
            "Quillet 0.24 B8: Line one. Line two. Line three.\n");
}

TEST_F(Console, BoxesTakeTheirDefaultAnswer) {
  struct Case {
    int style;
    int answer;
  } cases[] = {
      {MsgStyle::kOkOnly, MsgResult::kOk},
      {MsgStyle::kOkOnly | MsgStyle::kCritical, MsgResult::kOk},
      {MsgStyle::kOkCancel, MsgResult::kOk},
      {MsgStyle::kYesNo, MsgResult::kYes},
      {MsgStyle::kYesNo | MsgStyle::kQuestion, MsgResult::kYes},
      {MsgStyle::kYesNo | 256, MsgResult::kNo},  // the second button is the default
      {3 | 512, MsgResult::kCancel},             // Yes/No/Cancel with the third as default
  };
  for (const Case& c : cases) EXPECT_EQ(ui.MsgBox("?", c.style, "T"), c.answer) << c.style;
}

TEST_F(Console, SleepWaits) {
  const auto start = std::chrono::steady_clock::now();
  ui.Sleep(50);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

TEST(RunWithoutDisplay, ExitStatusIsZeroOnlyWhenEveryConversionSucceededOrNothingWasToDo) {
  struct Case {
    int started, succeeded;
    const char* nothingToConvert;
    int status;
  } cases[] = {
      {1, 1, "", 0},
      {3, 3, "", 0},
      {3, 2, "", 1},  // one failure among successes
      {1, 0, "", 1},
      {0, 0, "", 1},  // nothing converted and no reason why: a refused or unknown source
      {0, 0, "No MKV files found in /films.", 0},
      {0, 0, "Nothing to convert in /films: all 2 files are done.", 0},
  };
  for (const Case& c : cases) {
    TestApp t;
    t.app.conversionsStarted = c.started;
    t.app.conversionsSucceeded = c.succeeded;
    t.app.nothingToConvert = c.nothingToConvert;
    EXPECT_EQ(HeadlessExitStatus(t.app), c.status)
        << c.started << "/" << c.succeeded << " " << c.nothingToConvert;
  }
}

}  // namespace
}  // namespace quillet::test
