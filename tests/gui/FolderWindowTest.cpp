// The folder window as a user meets it: opened by "Folder" beside the main window (not
// on the Xbox 360 target), not modal, and each of its buttons hides it and runs its kind
// of folder, answered here by scripted dialogs.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "app/App.h"
#include "gui/FolderWindow.h"
#include "gui/MainWindow.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

class FolderWindowTest : public ::testing::Test, protected WithGuiApp {
 protected:
  FolderWindowTest() {
    app.form.txtTMP.Text = outputDir.withSep();
    app.form.cmbPlatform.SetListIndex(0);
    window.show();
    window.Refresh();
  }

  QPushButton* MainButton(const char* name) {
    QPushButton* button = window.findChild<QPushButton*>(name);
    EXPECT_NE(button, nullptr) << name;
    return button;
  }
  QPushButton* FolderButton(const char* name) {
    QPushButton* button = folder()->findChild<QPushButton*>(name);
    EXPECT_NE(button, nullptr) << name;
    return button;
  }
  FolderWindow* folder() { return window.folderWindow(); }
  QString Shown(const char* lineEdit) { return window.findChild<QLineEdit*>(lineEdit)->text(); }
  void Answer(QMessageBox::StandardButton where) {
    ui.folderAnswers.push_back(QString::fromStdString(sourceDir.str()));
    ui.boxAnswers.push_back(where);
  }

  TempFolder programDir{"quillet-program"};
  TempFolder outputDir{"quillet-output"};
  TempFolder sourceDir{"quillet-source"};
  FakeToolRunner runner;
  ScriptedQtUi ui;
  FakePower power;
  FakeComponents components;
  FakeMediaGraph media;
  Context ctx{programDir.str(), runner, ui, power, components, media};
  App app{ctx};
  MainWindow window{app, ui};
};

TEST_F(FolderWindowTest, FolderOpensTheFolderWindowBesideTheMainWindow) {
  ASSERT_NE(folder(), nullptr);
  EXPECT_FALSE(folder()->isVisible());
  MainButton("cmdFolder")->click();

  EXPECT_TRUE(folder()->isVisible());
  EXPECT_TRUE(folder()->isWindow());
  EXPECT_EQ(folder()->windowTitle(), "Folder conversion");
  EXPECT_EQ(FolderButton("cmdMKV")->text(), "MKV folder");
  EXPECT_EQ(FolderButton("Command2")->text(), "AVI Folder");
  EXPECT_EQ(folder()->windowModality(), Qt::NonModal);
  EXPECT_FALSE(folder()->isModal());
  EXPECT_TRUE(ui.folderCaptions.empty());  // nothing asked yet

  // Not modal: the main window still takes the user's choices meanwhile.
  QComboBox* priority = window.findChild<QComboBox*>("cmbPrio");
  priority->setCurrentIndex(priority->findText("High"));
  EXPECT_EQ(app.form.cmbPrio.ListIndex, 1);
  EXPECT_TRUE(folder()->isVisible());

  // Closed by its title bar, it is only hidden and comes back on the next click.
  folder()->close();
  EXPECT_FALSE(app.frmFolder.Visible);
  MainButton("cmdFolder")->click();
  EXPECT_TRUE(folder()->isVisible());
}

// A folder window left open would keep the program running without its main window.
TEST_F(FolderWindowTest, ClosingTheMainWindowClosesTheFolderWindow) {
  MainButton("cmdFolder")->click();
  ASSERT_TRUE(folder()->isVisible());
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(folder()->isVisible());
  EXPECT_FALSE(app.frmFolder.Visible);
}

TEST_F(FolderWindowTest, OnTheXbox360FolderAsksForAMatroskaFolderAtOnce) {
  QComboBox* target = window.findChild<QComboBox*>("cmbPlatform");
  target->setCurrentIndex(target->findText("Xbox 360"));
  MainButton("cmdFolder")->click();
  EXPECT_FALSE(folder()->isVisible());
  ASSERT_EQ(ui.folderCaptions.size(), 1u);
  EXPECT_EQ(ui.folderCaptions[0], "Please select a folder with MKV files to be converted.");
}

TEST_F(FolderWindowTest, MkvFolderHidesTheWindowAndConvertsTheChosenFolder) {
  WriteFile(sourceDir.path() / "film.mkv", "not really a film");
  // What the window shows while the file is inspected.
  QString counter;
  runner.On("mkvinfo.exe", [&](const std::vector<std::string>&) {
    QLabel* label = window.findChild<QLabel*>("lblMulti");
    if (label->isVisible()) counter = label->text();
    return std::string();
  });
  MainButton("cmdFolder")->click();
  Answer(QMessageBox::No);
  FolderButton("cmdMKV")->click();

  EXPECT_FALSE(folder()->isVisible());
  ASSERT_EQ(ui.folderCaptions.size(), 1u);
  EXPECT_EQ(ui.folderCaptions[0], "Please select a folder with MKV files to be converted.");
  ASSERT_FALSE(ui.boxes.empty());
  EXPECT_EQ(ui.boxes[0].text, "Store resulting files in source folder ?");
  EXPECT_EQ(ui.boxes[0].title, "Quillet 0.24 B8");
  // The file reached the report tool; with no tools present it cannot convert, and the
  // window says so instead of a success.
  const std::string film = (sourceDir.path() / "film.mkv").string();
  bool inspected = false;
  for (const std::string& line : runner.CommandLines())
    inspected = inspected || line.find("\"" + film + "\"") != std::string::npos;
  EXPECT_TRUE(inspected);
  EXPECT_EQ(Shown("txtFile").toStdString(), film);
  EXPECT_EQ(counter, "1 of 1");
  EXPECT_EQ(Shown("txtProgress"), "Folder conversion: 1 of 1 files failed (see debug.log).");
  EXPECT_EQ(Shown("txtTMP").toStdString(), outputDir.withSep());
  EXPECT_FALSE(window.findChild<QLabel*>("lblMulti")->isVisible());
  EXPECT_FALSE(window.Busy());
}

TEST_F(FolderWindowTest, AviFolderHidesTheWindowAndChecksTheChosenFolder) {
  WriteFile(sourceDir.path() / "film.avi", "avi");
  WriteFile(sourceDir.path() / "QL_film2.avi", "a repaired copy");
  MainButton("cmdFolder")->click();
  Answer(QMessageBox::Yes);
  FolderButton("Command2")->click();

  EXPECT_FALSE(folder()->isVisible());
  ASSERT_EQ(ui.folderCaptions.size(), 1u);
  EXPECT_EQ(ui.folderCaptions[0], "Please select a folder with AVI files to be checked/converted.");
  EXPECT_EQ(ui.boxes.front().text, "Store resulting files in source folder ?");
  EXPECT_EQ(Shown("txtTMP").toStdString(), sourceDir.withSep());
  EXPECT_EQ(Shown("txtFile").toStdString(), (sourceDir.path() / "QL_film2.avi").string());
  // The AVI road of the "Convert" button is not there yet: the file is named as failed.
  EXPECT_EQ(Shown("txtProgress"), "Folder conversion: 1 of 2 files failed (see debug.log).");
  EXPECT_FALSE(window.findChild<QLabel*>("lblMulti")->isVisible());
}

}  // namespace
}  // namespace quillet::test
