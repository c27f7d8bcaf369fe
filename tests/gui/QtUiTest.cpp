// The Qt side of the Ui port: what a classic box style looks like and answers, what
// the open-file and folder dialogs are asked for, and the always-on-top switch.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QWidget>
#include <algorithm>

#include "tests/gui/GuiTestSupport.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

using SB = QMessageBox::StandardButton;

class QtUiTest : public ::testing::Test {
 protected:
  void SetUp() override { GuiApp(); }
  ScriptedQtUi ui;
};

std::vector<SB> Sorted(std::vector<SB> buttons) {
  std::sort(buttons.begin(), buttons.end());
  return buttons;
}

struct StyleCase {
  int style;
  QMessageBox::Icon icon;
  std::vector<SB> buttons;  // the first one is the default
};

TEST_F(QtUiTest, BoxStyleGivesIconButtonsAndDefault) {
  const StyleCase cases[] = {
      {0, QMessageBox::NoIcon, {QMessageBox::Ok}},
      {16, QMessageBox::Critical, {QMessageBox::Ok}},
      {48, QMessageBox::Warning, {QMessageBox::Ok}},
      {64, QMessageBox::Information, {QMessageBox::Ok}},
      {1 + 48, QMessageBox::Warning, {QMessageBox::Ok, QMessageBox::Cancel}},
      {4 + 32, QMessageBox::Question, {QMessageBox::Yes, QMessageBox::No}},
      {4 + 16, QMessageBox::Critical, {QMessageBox::Yes, QMessageBox::No}},
  };
  for (const StyleCase& c : cases) {
    SCOPED_TRACE(c.style);
    ui.boxes.clear();
    ui.MsgBox("Some text", c.style, "Title");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].icon, c.icon);
    EXPECT_EQ(Sorted(ui.boxes[0].buttons), Sorted(c.buttons));
    EXPECT_EQ(ui.boxes[0].defaultButton, c.buttons.front());
    EXPECT_EQ(ui.boxes[0].text, "Some text");
    EXPECT_EQ(ui.boxes[0].title, "Title");
  }
}

TEST_F(QtUiTest, PressedButtonBecomesTheClassicAnswer) {
  const struct {
    int style;
    SB pressed;
    int answer;
  } cases[] = {
      {0, QMessageBox::Ok, MsgResult::kOk},
      {1, QMessageBox::Ok, MsgResult::kOk},
      {1, QMessageBox::Cancel, MsgResult::kCancel},
      {4 + 32, QMessageBox::Yes, MsgResult::kYes},
      {4 + 32, QMessageBox::No, MsgResult::kNo},
      // Closed without a button: the cautious answer of the box.
      {1, QMessageBox::NoButton, MsgResult::kCancel},
      {4, QMessageBox::NoButton, MsgResult::kNo},
      {16, QMessageBox::NoButton, MsgResult::kOk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.style << " / " << c.pressed);
    ui.boxAnswers = {c.pressed};
    EXPECT_EQ(ui.MsgBox("Continue?", c.style, ""), c.answer);
  }
}

TEST_F(QtUiTest, BoxWithoutTitleShowsTheProgramTitle) {
  ui.MsgBox("Conversion done", 64, "");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].title, kProgramTitle);
}

TEST_F(QtUiTest, OpenFileAsksWithTitleFolderAndFiltersInOrder) {
  TempFolder folder;
  ui.fileAnswers = {"/films/a film.mkv"};
  const std::string chosen =
      ui.OpenFile({"Select the MKV",
                   {{"mkv Files (*.mkv)", "*.MKV"}, {"WMV Files (*.wmv)", "*.WMV"}},
                   folder.withSep()});
  EXPECT_EQ(chosen, "/films/a film.mkv");
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].title, "Select the MKV");
  EXPECT_EQ(ui.fileDialogs[0].startFolder, QString::fromStdString(folder.withSep()));
  EXPECT_EQ(ui.fileDialogs[0].nameFilters,
            QStringList({"mkv Files (*.mkv) (*.MKV *.mkv)", "WMV Files (*.wmv) (*.WMV *.wmv)"}));
}

TEST_F(QtUiTest, FilterPatternsMatchWithoutRegardToCase) {
  const QStringList filters = QtUi::NameFilters({{"Subtitle Files", "*.srt; *.ssa"}});
  ASSERT_EQ(filters.size(), 1);
  EXPECT_EQ(filters[0], "Subtitle Files (*.srt *.SRT *.ssa *.SSA)");
}

TEST_F(QtUiTest, OpenFileStartsAtHomeWhenTheFolderIsGoneAndCancelGivesNothing) {
  EXPECT_EQ(
      ui.OpenFile({"Select the Subtitle file", {{"Subtitle Files", "*.srt"}}, "/no/such/folder/"}),
      "");
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].startFolder, QDir::homePath());
}

TEST_F(QtUiTest, FolderPickerShowsThePromptAndDropsTheTrailingSeparator) {
  ui.folderAnswers = {"/media/out/", "", "/"};
  EXPECT_EQ(ui.BrowseForFolder("Please select a folder where the converted file is stored."),
            "/media/out");
  EXPECT_EQ(ui.BrowseForFolder("again"), "");
  EXPECT_EQ(ui.BrowseForFolder("root"), "/");
  ASSERT_EQ(ui.folderCaptions.size(), 3u);
  EXPECT_EQ(ui.folderCaptions[0], "Please select a folder where the converted file is stored.");
}

// The window stays where it is, and a hidden one is not shown.
TEST_F(QtUiTest, TopMostKeepsTheWindowWhereAndAsItIs) {
  for (bool shown : {true, false}) {
    SCOPED_TRACE(shown ? "shown" : "hidden");
    QWidget window;
    window.setGeometry(120, 140, 400, 300);
    if (shown) window.show();
    const QRect before = window.geometry();
    ui.SetWindow(&window);
    for (bool onTop : {true, false}) {
      ui.SetTopMost(onTop);
      EXPECT_EQ(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
      EXPECT_EQ(window.isVisible(), shown);
      EXPECT_EQ(window.geometry(), before);
    }
  }
}

TEST_F(QtUiTest, SleepWaitsAndKeepsRepainting) {
  int refreshes = 0;
  int waits = 0;
  ui.SetRefresh([&] { ++refreshes; });
  ui.SetWaitHook([&] { ++waits; });
  QElapsedTimer timer;
  timer.start();
  ui.Sleep(120);
  EXPECT_GE(timer.elapsed(), 120);
  EXPECT_LT(timer.elapsed(), 2000);
  EXPECT_GE(refreshes, 3);
  EXPECT_EQ(waits, 1);

  ui.Repaint();
  EXPECT_GE(refreshes, 4);
}

}  // namespace
}  // namespace quillet::test
