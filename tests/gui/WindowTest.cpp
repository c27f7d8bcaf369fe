// A user at the offscreen window: what the user does goes through the real widgets into the
// model, and every widget shows what the model holds. Then real tools: the bar during an encode,
// the program on a virtual X display (pictures in build/artifacts/), the GStreamer graph.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "gui/FolderWindow.h"
#include "gui/MainWindow.h"
#include "gui/QtUi.h"
#include "platform/GstMediaGraph.h"
#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/gui/WindowFixture.h"
#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

// Every control shows as the model has it, the state holders (hidden text boxes and
// option buttons the program keeps values in) never, also after the program wrote them.
TEST_F(WindowTest, EveryControlShowsWhatTheModelHolds) {
  Form1& f = app.form;
  f.txtSFPS.Text = "25";
  f.SelectOption1(1);
  ui.Repaint();
  const std::vector<const Control*> controls = {
      &f.lblSourcefile, &f.lblOutput,   &f.lblTarget,   &f.lblReencode, &f.lblPriority,
      &f.txtFile,       &f.Command1,    &f.cmdFolder,   &f.txtTMP,      &f.cmdTargetFolder,
      &f.Command2,      &f.cmbPlatform, &f.chkAVCHD,    &f.chkVob,      &f.chkMP2,
      &f.cmdConv,       &f.chk25,       &f.chkFF,       &f.chkNorm,     &f.Check1,
      &f.Autosplit,     &f.chkDVD,      &f.cmbSize,     &f.Frame1,      &f.Frame2,
      &f.Frame3,        &f.cmbAudio,    &f.txtS1,       &f.txtS2,       &f.txtSFPS,
      &f.Label2,        &f.cmbSubs,     &f.lblSubs,     &f.lblSRTFound, &f.cmdSubs,
      &f.chkSubs,       &f.chkChapters, &f.chkShutDown, &f.cmbPrio,     &f.Command3,
      &f.txtProgress,   &f.lblMulti,    &f.Option1[1]};
  EXPECT_EQ(window.windowTitle().toStdString(), f.Caption);
  for (const Control* c : controls) {
    SCOPED_TRACE(c->Name);
    const auto widgets = window.findChildren<QWidget*>(QString::fromStdString(c->Name));
    for (QWidget* w : widgets) EXPECT_EQ(w->isVisible(), c->Visible) << "shown";
    if (!c->Visible) continue;
    ASSERT_EQ(widgets.size(), 1);
    QWidget* w = widgets[0];
    EXPECT_EQ(w->isEnabled(), c->Enabled);
    EXPECT_EQ(w->toolTip().toStdString(), c->ToolTip);
    // A text box shows its text, a list its choice; the split box is drawn bare.
    const auto* list = qobject_cast<QComboBox*>(w) ? static_cast<const ComboBox*>(c) : nullptr;
    const char* shown = qobject_cast<QGroupBox*>(w) ? "title" : list ? "currentIndex" : "text";
    const std::string want = qobject_cast<QLineEdit*>(w) ? static_cast<const TextBox*>(c)->Text
                             : list                      ? std::to_string(list->ListIndex)
                             : c == &f.Check1            ? ""
                                                         : c->Caption;
    EXPECT_EQ(w->property(shown).toString().remove('&').toStdString(), want);
  }
}

// Lists and ticks run the model's rules (the target's also on leaving the list after the
// program set it) and show what the model then holds; typed text goes into the model.
TEST_F(WindowTest, ListsTicksAndTextWriteTheModel) {
  int audioClicks = 0;
  Form1& f = app.form;
  f.cmbAudio.Items = {"1: AC3 eng", "2: DTS eng"};
  f.cmbAudio.OnClick = [&] { ++audioClicks; };
  ui.Repaint();
  Choose("cmbPrio", "High");
  Choose("cmbSize", "DVD9");
  Choose("cmdConv", "Xvid");
  Choose("cmbAudio", "2: DTS eng");
  EXPECT_EQ(std::vector<int>({f.cmbPrio.ListIndex, f.cmbSize.ListIndex, f.cmdConv.ListIndex,
                              f.cmbAudio.ListIndex, audioClicks}),
            std::vector<int>({1, 1, 2, 1, 1}));
  Choose("cmbPlatform", "Xbox 360");
  EXPECT_FALSE(Find("chkAVCHD")->isVisible());
  Choose("cmbPlatform", "PS3  (2.0)");
  EXPECT_TRUE(Find("chkAVCHD")->isVisible());
  app.form.cmbPlatform.ListIndex = 1;
  window.Refresh();
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(Find("cmbPlatform"), &out);
  EXPECT_FALSE(Find("chkAVCHD")->isVisible());
  Choose("cmbPlatform", "PS3 (5.1)");
  Click("chkAVCHD");
  EXPECT_EQ(Find<QComboBox>("cmdConv")->currentText(), "H264");
  app.form.chkNorm.OnClick = [&] { app.form.chkNorm.Value = 0; };
  Click("chkNorm");
  EXPECT_FALSE(Find<QCheckBox>("chkNorm")->isChecked());
  Find<QLineEdit>("txtTMP")->selectAll();
  Find<QLineEdit>("txtTMP")->insert("/srv/films/");
  EXPECT_EQ(app.form.txtTMP.Text, "/srv/films/");
}

// Each button runs its handler: the file dialogs' filters match without regard to case,
// and the root folder chosen as output keeps its separator.
TEST_F(WindowTest, EachButtonAsksWhatItsHandlerAsks) {
  media.registeredFilters = {"AC3Filter"};
  ui.folderAnswer = "/";
  for (const char* button : {"Command1", "cmdSubs", "cmdTargetFolder", "Command3"}) Click(button);
  EXPECT_EQ(ui.fileTitles,
            (std::vector<QString>{
                "Select the MKV | mkv Files (*.mkv) (*.MKV *.mkv)",
                "Select the Subtitle file | Subtitle Files (*.srt *.SRT *.ssa *.SSA)"}));
  EXPECT_EQ(ui.folderCaptions,
            std::vector<QString>{"Please select a folder where the converted file is stored."});
  EXPECT_EQ(app.form.txtTMP.Text, "/");
  EXPECT_EQ(media.shownPages, std::vector<std::string>{"AC3Filter"});
}

TEST_F(WindowTest, DroppedFilesAreTakenInDropOrderButNotTextOrAddresses) {
  ScriptReportTool(runner, ReportFixture("h264_ac3.txt"));  // films that can be read
  const std::vector<std::string> films = {Film("c film.mkv"), Film("a film.mkv"), Film("b.mkv")};
  EXPECT_TRUE(DropOn(&window, films));
  EXPECT_EQ(Inspected(films), films);
  EXPECT_EQ(Find<QLineEdit>("txtFile")->text().toStdString(), films.back());
  // The source box takes files like the window, but no text and no address.
  QLineEdit* source = Find<QLineEdit>("txtFile");
  const auto calls = runner.calls.size();
  EXPECT_FALSE(DropOn(source, {}, "some dragged text"));
  EXPECT_FALSE(DropOn(source, {"https://example.org/film.mkv"}));
  EXPECT_EQ(runner.calls.size(), calls);
  EXPECT_TRUE(DropOn(source, {"https://example.org/other.mkv", films[0]}));
  EXPECT_EQ(source->text().toStdString(), films[0]);
}

// While a tool runs the window paints, and only Stop acts; the progress stays readable: a
// click on "File" is thrown away (not replayed afterwards), a second drop is refused.
TEST_F(WindowTest, WhileAToolRunsOnlyStopActsAndTheProgressStaysReadable) {
  const std::string film = Film("film.mkv"), other = Film("other.mkv");
  int tools = 0;
  bool disabled = false, secondDrop = true, stopAndProgress = false;
  runner.On("mkvinfo.exe", [&](const std::vector<std::string>&) {
    if (++tools > 1) return std::string();
    runner.CallIdle();
    disabled = !Find("Command1")->isEnabled() && !Find("chkShutDown")->isEnabled();
    stopAndProgress = Find("cmdStop")->isEnabled() && Find("txtProgress")->isEnabled() &&
                      Find("progressPanel")->isEnabled();
    Click("Command1");
    secondDrop = DropOn(&window, {other});
    return std::string();
  });
  EXPECT_FALSE(Find("cmdStop")->isEnabled());
  DropOn(&window, {film});
  ASSERT_GE(tools, 1);
  EXPECT_TRUE(disabled && stopAndProgress && !secondDrop);
  EXPECT_TRUE(ui.fileTitles.empty());
  EXPECT_EQ(Inspected({film, other}), std::vector<std::string>{film});
  EXPECT_FALSE(Find("cmdStop")->isEnabled());
  Click("Command1");
  EXPECT_EQ(ui.fileTitles.size(), 1u);
  EXPECT_TRUE(window.close());
}

// A double-click on a control does nothing; on the window's background (inside its
// margin) it writes the registration batch into the program folder.
TEST_F(WindowTest, DoubleClickOnTheBackgroundWritesTheRegistrationBatch) {
  const fs::path batch = programDir.path() / "register.bat";
  const QPoint at(2, 2);
  ASSERT_EQ(window.centralWidget()->childAt(at), nullptr);
  for (QWidget* target : {Find("Command2"), window.centralWidget()}) {
    EXPECT_FALSE(fs::exists(batch));
    QMouseEvent event(QEvent::MouseButtonDblClick, at, target->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
  }
  EXPECT_EQ(ReadFile(batch), "regsvr32 \"" + programDir.str() + "/FSFWrap.dll\"\r\nregsvr32 \"" +
                                 programDir.str() + "/WAVDEST.AX\"\r\n");
}

// "Folder" opens a second window, not modal, only hidden when closed; "MKV folder" hides
// it and converts the chosen folder, counting the files; closing the window closes both.
TEST_F(WindowTest, TheFolderWindowIsNotModalAndRunsTheChosenFolder) {
  FolderWindow* folder = window.folderWindow();
  Click("cmdFolder");
  EXPECT_TRUE(folder->isVisible() && folder->isWindow() && !folder->isModal());
  folder->close();
  EXPECT_FALSE(app.frmFolder.Visible);
  const std::string film = Film("film.mkv");
  QString counter;
  runner.On("mkvinfo.exe", [&](const std::vector<std::string>&) {
    if (Find("lblMulti")->isVisible()) counter = Find<QLabel>("lblMulti")->text();
    return std::string();
  });
  ui.folderAnswer = QString::fromStdString(sourceDir.str());
  Click("cmdFolder");
  Click("cmdMKV", folder);
  EXPECT_FALSE(folder->isVisible());
  EXPECT_EQ(ui.folderCaptions,
            std::vector<QString>{"Please select a folder with MKV files to be converted."});
  EXPECT_EQ(counter, "1 of 1");
  EXPECT_FALSE(Find("lblMulti")->isVisible());
  EXPECT_EQ(Find<QLineEdit>("txtFile")->text().toStdString(), film);
  EXPECT_EQ(Find<QLineEdit>("txtProgress")->text(),
            "Folder conversion: 1 of 1 files failed (see debug.log).");
  Click("cmdFolder");
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(folder->isVisible());
}

// A real box: its style gives its icon, buttons and default (the first); each button
// gives its answer, and Escape or the close button the cautious one (the last).
TEST_F(WindowTest, BoxStylesGiveButtonsAndTheCautiousAnswerOnEscapeOrClose) {
  const struct {
    int style;
    QMessageBox::Icon icon;
    std::vector<SB> buttons;
    std::vector<int> answers;
  } cases[] = {
      {16, QMessageBox::Critical, {SB::Ok}, {MsgResult::kOk}},
      {1 + 48, QMessageBox::Warning, {SB::Ok, SB::Cancel}, {MsgResult::kOk, MsgResult::kCancel}},
      {4 + 32, QMessageBox::Question, {SB::Yes, SB::No}, {MsgResult::kYes, MsgResult::kNo}},
  };
  QtUi real;
  for (const auto& c : cases) {
    // Each button in turn, then Escape, then the close button, once the box waits.
    for (size_t i = 0; i < c.buttons.size() + 2; ++i) {
      SCOPED_TRACE(testing::Message() << c.style << ", action " << i);
      QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
          if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
            EXPECT_TRUE(box->icon() == c.icon && box->windowTitle() == kProgramTitle);
            EXPECT_EQ(box->buttons().size(), c.buttons.size());
            EXPECT_EQ(box->standardButton(box->defaultButton()), c.buttons[0]);
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            if (i < c.buttons.size()) box->button(c.buttons[i])->click();
            if (i == c.buttons.size()) QCoreApplication::sendEvent(box, &escape);
            if (i > c.buttons.size()) box->close();
          }
      });
      EXPECT_EQ(real.MsgBox("Continue?", c.style, ""),
                c.answers[std::min(i, c.answers.size() - 1)]);
    }
  }
}

// Going on top and back keeps a window where it is, and shown or hidden as it was; a wait
// keeps the window repainting but takes no input meanwhile.
TEST_F(WindowTest, TopMostKeepsTheWindowAndSleepKeepsRepaintingWithoutInput) {
  for (bool shown : {true, false}) {
    QWidget other;
    other.setGeometry(120, 140, 400, 300);
    other.setVisible(shown);
    ui.SetWindow(&other);
    for (bool onTop : {true, false}) {
      ui.SetTopMost(onTop);
      EXPECT_EQ(other.windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
      EXPECT_TRUE(other.isVisible() == shown && other.geometry() == QRect(120, 140, 400, 300));
    }
  }
  int repaints = 0;
  bool disabled = false;
  app.form.chkNorm.OnClick = [&] {
    ui.afterRepaint = [&] { ++repaints, disabled = !Find("Command1")->isEnabled(); };
    ui.Sleep(100);
    ui.afterRepaint = nullptr;
  };
  Click("chkNorm");
  EXPECT_TRUE(repaints >= 3 && disabled && Find("Command1")->isEnabled()) << repaints;
}

// During a real encode (the real runner, the toolkit in a copied program folder) the bar
// fills, the line beside it gives the percentage and the time left, the step text stays.
TEST_F(RealToolsTest, TheProgressBarFillsDuringARealEncode) {
  RealProgram program{dir.path() / "program"};
  const std::string film =
      TestFilm("film.mkv", "160x120", 60, "-c:v libx264 -preset ultrafast -c:a ac3 -ac 6");
  ASSERT_FALSE(film.empty());
  fs::create_directories(dir.path() / "output");
  program.WriteSettings(
      {.outputFolder = dir.str() + "/output/", .sourceFolder = dir.str() + "/", .recode = true});
  RealWindow<ScriptedQtUi> real(program);
  App& app = real.app;
  MainWindow& window = real.window;
  auto& ui = real.ui;
  window.show();
  auto* bar = window.findChild<QProgressBar*>("progressBar");
  ASSERT_NE(bar, nullptr);
  // Two moments of the encode: past a tenth and past a half.
  std::vector<int> values;
  std::vector<QImage> pictures;
  ui.afterRepaint = [&] {
    const std::optional<double>& share = app.form.progress.share;
    if (values.size() >= 2 || app.form.txtProgress.Text != "Encoding H264" || !share) return;
    if (*share < (values.empty() ? 0.1 : 0.5)) return;
    values.push_back(bar->value());
    EXPECT_NEAR(static_cast<double>(bar->value()) / bar->maximum(), *share, 0.002);
    EXPECT_EQ(window.findChild<QLineEdit*>("txtProgress")->text(), "Encoding H264");
    const std::string detail = window.findChild<QLabel*>("lblProgressDetail")->text().toStdString();
    EXPECT_TRUE(std::regex_match(detail, std::regex("\\d+ %( \u2014 (about .* left|finishing))?")))
        << detail;
    EXPECT_TRUE(bar->isVisible() && !window.findChild<QWidget*>("Command1")->isEnabled());
    pictures.push_back(window.grab().toImage());
    const fs::path png = artifacts / ("progress-" + std::to_string(values.size()) + ".png");
    EXPECT_TRUE(pictures.back().save(QString::fromStdString(png.string()), "PNG"));
  };
  window.Load(ParseCommandLine(std::vector<std::string>{film}));
  ASSERT_TRUE(fs::exists(dir.path() / "output/film.mp4"))
      << ReadFile(program.folder() / "tools.log");
  ASSERT_EQ(values.size(), 2u) << "the encode told too little of its progress";
  EXPECT_GT(values[1], values[0]);
  EXPECT_NE(pictures[0], pictures[1]);
  EXPECT_TRUE(!bar->isVisible() && window.findChild<QWidget*>("Command1")->isEnabled());
}

// The real program shows its window, saves a picture of it (QUILLET_SCREENSHOT) and ends.
TEST_F(RealToolsTest, TheProgramShowsItsWindowOnAnXDisplay) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  const fs::path picture = artifacts / "quillet-window.png";
  fs::remove(picture);
  // A copy of the program, so the settings file it may write stays out of the build tree.
  fs::copy_file(RealProgram::BuiltFolder() / "quillet", dir.path() / "quillet");
  const ProgramRun run =
      RunShell("cd " + ShellQuoted(dir.str()) + " && env -u QT_QPA_PLATFORM QUILLET_SCREENSHOT=" +
               ShellQuoted(picture.string()) + " timeout 120 xvfb-run -a ./quillet");
  ASSERT_EQ(run.status, 0) << run.err;
  ExpectWindowPicture(picture);
}

// A registered filter is an element factory, found by its feature name or its long name;
// the WMA-to-WAV graph of a source without sound, or of none, fails and says why.
TEST_F(RealToolsTest, TheGStreamerGraphFindsFiltersAndFailsOnSourcesWithoutSound) {
  GstMediaGraph media;
  EXPECT_TRUE(media.HasRegisteredFilter("fakesink") && media.HasRegisteredFilter("Fake Sink"));
  for (const char* name : {"fake sink", "AC3Filter", ""})
    EXPECT_FALSE(media.HasRegisteredFilter(name)) << name;

  const std::string silent = dir.str() + "/silent.wmv";
  const std::string make = "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120 -t 1 ";
  ASSERT_EQ(RunShell(make + "-c:v wmv2 " + ShellQuoted(silent)).status, 0);
  for (const std::string& source : {silent, dir.str() + "/missing.wmv"}) {
    std::string missing, error;
    auto graph = media.RunWmaToWavGraph(source, dir.str() + "/movie.wav", &missing);
    ASSERT_TRUE(graph) << missing;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    AudioGraph::State state = AudioGraph::State::kRunning;
    while (state == AudioGraph::State::kRunning && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      state = graph->Poll(&error);
    }
    EXPECT_EQ(state, AudioGraph::State::kFailed) << source;
    EXPECT_FALSE(error.empty()) << source;
  }
}

}  // namespace
}  // namespace quillet::test
