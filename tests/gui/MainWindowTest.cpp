// A user at the window: clicks, selections, edits and drops go through the real widgets
// into the window model, and every widget shows what the model holds.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <filesystem>

#include "app/App.h"
#include "gui/MainWindow.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

// A tool runner that lets the window repaint around every tool, as the real one does
// while a child process runs.
class IdlingToolRunner : public FakeToolRunner {
 public:
  int RunTool(const std::string& commandLine, ToolPriority priority) override {
    CallIdle();
    return FakeToolRunner::RunTool(commandLine, priority);
  }
  std::string GetCommandOutput(const std::string& commandLine, bool out, bool err,
                               bool oem) override {
    CallIdle();
    return FakeToolRunner::GetCommandOutput(commandLine, out, err, oem);
  }
};

class MainWindowTest : public ::testing::Test, protected WithGuiApp {
 protected:
  MainWindowTest() {
    app.form.txtTMP.Text = outputDir.withSep();
    window.show();
    window.Refresh();
  }

  template <typename W>
  W* Widget(const char* name) {
    W* widget = window.findChild<W*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QCheckBox* Check(const char* name) { return Widget<QCheckBox>(name); }
  QComboBox* Combo(const char* name) { return Widget<QComboBox>(name); }

  // A user picks an entry of a list.
  void Choose(const char* list, const QString& entry) {
    QComboBox* combo = Combo(list);
    const int index = combo->findText(entry);
    ASSERT_GE(index, 0) << entry.toStdString();
    combo->setCurrentIndex(index);
  }

  void DropOn(QWidget* target, const std::vector<std::string>& paths, const QString& text = {}) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& p : paths)
      urls << (p.rfind("http", 0) == 0 ? QUrl(QString::fromStdString(p))
                                       : QUrl::fromLocalFile(QString::fromStdString(p)));
    if (!urls.isEmpty()) data.setUrls(urls);
    if (!text.isEmpty()) data.setText(text);
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    dropAccepted = enter.isAccepted();
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
  }

  void DoubleClick(QWidget* target, QPoint at) {
    QMouseEvent event(QEvent::MouseButtonDblClick, at, target->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
  }

  TempFolder programDir{"quillet-program"};
  TempFolder outputDir{"quillet-output"};
  IdlingToolRunner runner;
  ScriptedQtUi ui;
  FakePower power;
  FakeComponents components;
  FakeMediaGraph media;
  Context ctx{programDir.str(), runner, ui, power, components, media};
  App app{ctx};
  MainWindow window{app, ui};
  bool dropAccepted = false;
};

// Every control of the window model, to walk them all.
std::vector<const Control*> AllControls(const Form1& f) {
  std::vector<const Control*> all = {
      &f.lblSourcefile, &f.lblOutput,   &f.lblTarget,   &f.lblReencode, &f.lblPriority,
      &f.txtFile,       &f.Command1,    &f.cmdFolder,   &f.txtTMP,      &f.cmdTargetFolder,
      &f.Command2,      &f.cmbPlatform, &f.chkAVCHD,    &f.chkVob,      &f.chkMP2,
      &f.cmdConv,       &f.chk25,       &f.chkFF,       &f.chkNorm,     &f.Check1,
      &f.Autosplit,     &f.chkDVD,      &f.cmbSize,     &f.Frame1,      &f.Frame2,
      &f.Frame3,        &f.cmbAudio,    &f.txtS1,       &f.txtS2,       &f.txtSFPS,
      &f.Label2,        &f.cmbSubs,     &f.lblSubs,     &f.lblSRTFound, &f.cmdSubs,
      &f.chkSubs,       &f.chkChapters, &f.chkShutDown, &f.cmbPrio,     &f.Command3,
      &f.txtProgress,   &f.lblMulti};
  for (const OptionButton& o : f.Option1) all.push_back(&o);
  return all;
}

QString ShownCaption(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* frame = qobject_cast<QGroupBox*>(w)) return frame->title();
  return {};
}

// Dropped files reach the program in the order of the drop list: each one is inspected
// (its path on the report tool's command line) and becomes the source in turn.
std::vector<std::string> OrderSeen(const FakeToolRunner& runner,
                                   const std::vector<std::string>& names) {
  std::vector<std::string> order;
  for (const std::string& line : runner.CommandLines())
    for (const std::string& name : names)
      if (line.find(name) != std::string::npos && (order.empty() || order.back() != name))
        order.push_back(name);
  return order;
}

TEST_F(MainWindowTest, EveryVisibleControlShowsItsCaptionAndToolTip) {
  EXPECT_EQ(window.windowTitle(), "Quillet 0.24 B8");
  for (const Control* c : AllControls(app.form)) {
    SCOPED_TRACE(c->Name);
    QWidget* w = window.findChild<QWidget*>(QString::fromStdString(c->Name));
    if (!c->Visible) {
      EXPECT_TRUE(w == nullptr || !w->isVisible());
      continue;
    }
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->toolTip().toStdString(), c->ToolTip);
    if (qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w)) continue;
    // The split box is drawn bare; the label beside it names it.
    EXPECT_EQ(ShownCaption(w).toStdString(), c == &app.form.Check1 ? "" : c->Caption);
  }
  EXPECT_EQ(Widget<QLabel>("Autosplit")->text(), "Split > 4GB ?");
  EXPECT_EQ(Widget<QLineEdit>("txtProgress")->text(), "progress......");
  EXPECT_EQ(Widget<QLineEdit>("txtTMP")->text().toStdString(), outputDir.withSep());
}

TEST_F(MainWindowTest, StateHoldersAreNeverShown) {
  // Not before, and not after the program has written them.
  for (bool written : {false, true}) {
    if (written) {
      app.form.txtSFPS.Text = "25";
      app.form.SelectOption1(1);
      ui.Repaint();
    }
    for (const char* name : {"txtS1", "txtS2", "txtSFPS", "Option1", "Frame3"})
      for (QWidget* w : window.findChildren<QWidget*>(name)) EXPECT_FALSE(w->isVisible()) << name;
  }
}

TEST_F(MainWindowTest, AvchdChoiceSwitchesTheRecodeFormatAndLocksOutConflictingOptions) {
  Choose("cmdConv", "Xvid");
  EXPECT_EQ(app.form.cmdConv.ListIndex, 2);

  Check("chkAVCHD")->click();
  EXPECT_EQ(app.form.chkAVCHD.Value, 1);
  EXPECT_TRUE(Check("chkAVCHD")->isChecked());
  EXPECT_EQ(Combo("cmdConv")->currentText(), "H264");
  EXPECT_EQ(Check("chkFF")->text(), "Fast Mux");
  EXPECT_FALSE(Check("chkVob")->isEnabled());
  EXPECT_FALSE(Check("chk25")->isEnabled());
  EXPECT_TRUE(Check("chkMP2")->isEnabled());
  EXPECT_TRUE(app.form.chkSubs.Enabled);
  EXPECT_FALSE(Check("chkSubs")->isVisible());  // enabled, but still not shown

  Check("chkAVCHD")->click();
  EXPECT_EQ(Combo("cmdConv")->currentText(), "Xvid");
  EXPECT_EQ(Check("chkFF")->text(), "Safe Sync");
  EXPECT_TRUE(Check("chkVob")->isEnabled());
  EXPECT_TRUE(Check("chk25")->isEnabled());
}

// Each rule runs on a user's choice from the list, and on leaving the list after the
// program set its index.
TEST_F(MainWindowTest, TheTargetListAppliesItsChoiceWhenChosenAndWhenLeft) {
  Check("chkVob")->click();
  Choose("cmbPlatform", "Xbox 360");
  EXPECT_EQ(app.form.cmbPlatform.ListIndex, 1);
  EXPECT_FALSE(Check("chkAVCHD")->isVisible());
  EXPECT_FALSE(Check("chkVob")->isVisible());
  EXPECT_EQ(app.form.chkVob.Value, 0);

  Choose("cmbPlatform", "PS3  (2.0)");
  EXPECT_TRUE(Check("chkAVCHD")->isVisible());
  EXPECT_TRUE(Check("chkVob")->isVisible());
  EXPECT_FALSE(Check("chkVob")->isChecked());

  app.form.cmbPlatform.ListIndex = 1;  // set by code, no rule ran
  window.Refresh();
  EXPECT_TRUE(Check("chkAVCHD")->isVisible());
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(Combo("cmbPlatform"), &out);
  EXPECT_FALSE(Check("chkAVCHD")->isVisible());
  EXPECT_FALSE(Check("chkVob")->isVisible());
}

TEST_F(MainWindowTest, ListsAndTextBoxesWriteTheModel) {
  Choose("cmbPrio", "High");
  Choose("cmbSize", "DVD9");
  EXPECT_EQ(app.form.cmbPrio.ListIndex, 1);
  EXPECT_EQ(app.form.cmbSize.ListIndex, 1);

  // The audio list runs its click rule on a user selection.
  int audioClicks = 0;
  app.form.cmbAudio.Items = {"1: AC3 eng", "2: DTS eng"};
  app.form.cmbAudio.OnClick = [&] { ++audioClicks; };
  ui.Repaint();
  ASSERT_EQ(Combo("cmbAudio")->count(), 2);
  Choose("cmbAudio", "2: DTS eng");
  EXPECT_EQ(app.form.cmbAudio.ListIndex, 1);
  EXPECT_EQ(audioClicks, 1);

  QLineEdit* output = Widget<QLineEdit>("txtTMP");
  output->setFocus();
  output->selectAll();
  output->insert("/srv/films/");
  EXPECT_EQ(app.form.txtTMP.Text, "/srv/films/");

  // The progress text is the program's, shown at each repaint.
  app.form.txtProgress.Text = "Extracting audio...";
  app.form.chkFF.Caption = "Fast Mux";
  ui.Repaint();
  EXPECT_EQ(Widget<QLineEdit>("txtProgress")->text(), "Extracting audio...");
  EXPECT_TRUE(Widget<QLineEdit>("txtProgress")->isReadOnly());
  EXPECT_EQ(Check("chkFF")->text(), "Fast Mux");
}

TEST_F(MainWindowTest, ACheckBoxTheModelRefusesStaysAsTheModelSays) {
  app.form.chkNorm.OnClick = [&] { app.form.chkNorm.Value = 0; };
  Check("chkNorm")->click();
  EXPECT_FALSE(Check("chkNorm")->isChecked());
}

TEST_F(MainWindowTest, AC3FilterOptionsShowsTheDecoderPagesWhenItIsThere) {
  Widget<QPushButton>("Command3")->click();
  EXPECT_TRUE(media.shownPages.empty());
  media.registeredFilters = {"AC3Filter"};
  Widget<QPushButton>("Command3")->click();
  EXPECT_EQ(media.shownPages, std::vector<std::string>{"AC3Filter"});
}

TEST_F(MainWindowTest, FilesDroppedOnTheWindowAreTakenInDropOrder) {
  std::vector<std::string> paths;
  for (const char* name : {"c film.mkv", "a film.mkv", "b film.mkv"}) {
    paths.push_back((std::filesystem::path(outputDir.str()) / name).string());
    WriteFile(paths.back(), "not really a film");
  }
  DropOn(&window, paths);
  EXPECT_TRUE(dropAccepted);
  EXPECT_EQ(OrderSeen(runner, paths), paths);
  EXPECT_EQ(app.form.strFullname, paths.back());
  EXPECT_EQ(Widget<QLineEdit>("txtFile")->text().toStdString(), paths.back());
}

TEST_F(MainWindowTest, TheSourceBoxTakesFilesButNotText) {
  QLineEdit* source = Widget<QLineEdit>("txtFile");
  DropOn(source, {}, "some dragged text");
  EXPECT_FALSE(dropAccepted);
  EXPECT_EQ(source->text(), "");
  EXPECT_TRUE(runner.calls.empty());

  DropOn(source, {"https://example.org/film.mkv"});
  EXPECT_FALSE(dropAccepted);
  EXPECT_TRUE(runner.calls.empty());

  const std::string film = outputDir.str() + "/film.mkv";
  WriteFile(film, "x");
  DropOn(source, {"https://example.org/other.mkv", film});
  EXPECT_TRUE(dropAccepted);
  EXPECT_EQ(OrderSeen(runner, {film}), std::vector<std::string>{film});
  EXPECT_EQ(source->text().toStdString(), film);
}

// Inside a tool run the window is disabled: a click on "File", a second drop on the
// window and closing it are refused.
TEST_F(MainWindowTest, WhileAToolRunsTheWindowPaintsButTakesNoInputAndDoesNotClose) {
  const std::string film = outputDir.str() + "/film.mkv";
  WriteFile(film, "x");
  const std::string other = outputDir.str() + "/other.mkv";
  WriteFile(other, "x");
  int toolsSeen = 0;
  bool disabledDuringTool = true;
  bool secondDropAccepted = false;
  bool closedDuringTool = false;
  runner.On("mkvinfo.exe", [&](const std::vector<std::string>&) {
    if (++toolsSeen > 1) return std::string();
    disabledDuringTool = !window.centralWidget()->isEnabled();
    Widget<QPushButton>("Command1")->click();
    DropOn(&window, {other});
    secondDropAccepted = dropAccepted;
    closedDuringTool = window.close();
    return std::string();
  });
  DropOn(&window, {film});
  ASSERT_GE(toolsSeen, 1);
  EXPECT_TRUE(disabledDuringTool);
  EXPECT_TRUE(ui.fileDialogs.empty());
  EXPECT_FALSE(secondDropAccepted);
  EXPECT_FALSE(closedDuringTool);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(OrderSeen(runner, {film, other}), std::vector<std::string>{film});
  EXPECT_TRUE(window.centralWidget()->isEnabled());
  EXPECT_FALSE(window.Busy());

  Widget<QPushButton>("Command1")->click();
  EXPECT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_TRUE(window.close());
}

// After a source is chosen with "File", the source box's tool tip tells whether the film
// plays on the chosen target as it is; the options shown stay as the user set them.
TEST_F(MainWindowTest, TheChosenSourceShowsItsVerdictInTheSourceBoxToolTip) {
  const std::string film = outputDir.str() + "/film.mkv";
  WriteFile(film, "x");
  runner.On("mkvinfo.exe", [](const std::vector<std::string>& argv) {
    for (std::size_t i = 1; i + 1 < argv.size(); ++i)
      if (argv[i] == "-o")
        WriteFile(argv[i + 1],
                  "+ Segment, size 1000\n|+ Segment tracks\n| + A track\n|  + Track type: video\n"
                  "|  + Codec ID: V_MPEG4/ISO/AVC\n| + A track\n|  + Track type: audio\n"
                  "|  + Codec ID: A_DTS\n|   + Channels: 6\n");
    return std::string();
  });
  Choose("cmbPlatform", "Xbox 360");
  const bool recodeBefore = Check("chkMP2")->isChecked();
  ui.fileAnswers = {QString::fromStdString(film)};
  Widget<QPushButton>("Command1")->click();
  const QString tip = Widget<QLineEdit>("txtFile")->toolTip();
  EXPECT_TRUE(tip.startsWith("Xbox 360: needs a remux: MP4 (Target: Xbox 360)"))
      << tip.toStdString();
  EXPECT_TRUE(tip.contains("audio codec dts")) << tip.toStdString();
  EXPECT_EQ(Combo("cmbPlatform")->currentText(), "Xbox 360");
  EXPECT_EQ(Check("chkMP2")->isChecked(), recodeBefore);
}

TEST_F(MainWindowTest, DoubleClickOnTheBackgroundWritesTheRegistrationBatch) {
  const auto batch = std::filesystem::path(programDir.str()) / "register.bat";
  QPushButton* convert = Widget<QPushButton>("Command2");
  DoubleClick(convert, QPoint(3, 3));
  EXPECT_FALSE(std::filesystem::exists(batch));

  QWidget* background = window.centralWidget();
  QPoint empty(-1, -1);
  for (int y = 0; y < background->height() && empty.x() < 0; y += 2)
    for (int x = 0; x < background->width(); x += 2)
      if (background->childAt(x, y) == nullptr) {
        empty = QPoint(x, y);
        break;
      }
  ASSERT_GE(empty.x(), 0);
  DoubleClick(background, empty);
  EXPECT_EQ(ReadFile(batch), "regsvr32 \"" + programDir.str() + "/FSFWrap.dll\"\r\nregsvr32 \"" +
                                 programDir.str() + "/WAVDEST.AX\"\r\n");
}

}  // namespace
}  // namespace quillet::test
