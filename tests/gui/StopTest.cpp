// Stopping a run from the window: Stop and Escape, a close that asks first, a folder run
// stopped halfway, a stop signal while a box waits for an answer; and the progress line's
// last seconds.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <optional>
#include <set>

#include "app/StepProgress.h"
#include "base/StopRequest.h"
#include "gui/FolderWindow.h"
#include "gui/ProgressPanel.h"
#include "tests/gui/WindowFixture.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

using namespace std::chrono_literals;

class StopTest : public WindowTest {
 protected:
  ~StopTest() override { ClearStopRequest(); }
  QPushButton* Button(const char* name, QWidget* in = nullptr) {
    return (in ? in : &window)->findChild<QPushButton*>(name);
  }
  std::string Progress() {
    return window.findChild<QLineEdit*>("txtProgress")->text().toStdString();
  }
};

// Escape, and a close the user confirms, stop the run as Stop does; a close the user
// declines lets it go on. The user's stop is over once the run has unwound: the program
// goes on (or quits, when asked to), and no stop is left pending.
TEST_F(StopTest, EscapeAndAConfirmedCloseStopTheRunADeclinedCloseDoesNot) {
  const struct {
    const char* how;
    std::vector<SB> answers;
    bool stopped, shown;
  } cases[] = {
      {"Escape", {}, true, true},
      {"close, No", {SB::No}, false, true},
      {"close, Yes", {SB::Yes}, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    window.show();
    ui.answers = c.answers;
    ui.boxes.clear();
    size_t callsAtStop = 0;
    runner.On("mkvinfo.exe", [&](const std::vector<std::string>&) {
      if (callsAtStop > 0) return std::string();
      callsAtStop = runner.calls.size();
      runner.CallIdle();
      if (c.answers.empty()) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &escape);
      } else {
        EXPECT_FALSE(window.close());
      }
      ThrowIfStopRequested();  // as the real runner does in its wait
      return std::string();
    });
    window.ConvertCommandLine(ParseCommandLine(std::vector<std::string>{Film("film.mkv")}));
    EXPECT_EQ(ui.boxes.empty() ? "" : ui.boxes[0],
              c.answers.empty() ? "" : "Stop the conversion and quit?");
    EXPECT_EQ(runner.calls.size() > callsAtStop, !c.stopped);
    EXPECT_EQ(Progress() == "Conversion stopped.", c.stopped);
    EXPECT_EQ(window.isVisible(), c.shown);
    EXPECT_EQ(window.QuitAfterStop(), !c.shown);
    EXPECT_FALSE(StopRequested() || app.stopped || window.Busy());
    EXPECT_FALSE(Button("cmdStop")->isEnabled());
  }
}

// A folder run stopped in its second film says how many films were done.
TEST_F(StopTest, AFolderRunStoppedInItsSecondFilmSaysHowManyWereDone) {
  for (const char* name : {"a.mkv", "b.mkv", "c.mkv"}) Film(name);
  std::set<std::string> reported;
  runner.On("mkvinfo.exe", [&](const std::vector<std::string>& argv) {
    for (const std::string& arg : argv)
      if (arg.ends_with(".mkv")) reported.insert(fs::path(arg).filename());
    if (reported.count("b.mkv") > 0) {
      runner.CallIdle();
      Button("cmdStop")->click();
    }
    ThrowIfStopRequested();
    return std::string();
  });
  ui.answers = {SB::No};  // the results go to the output folder
  ui.folderAnswer = QString::fromStdString(sourceDir.str());
  Button("cmdFolder")->click();
  Button("cmdMKV", window.folderWindow())->click();
  EXPECT_EQ(reported, (std::set<std::string>{"a.mkv", "b.mkv"}));
  EXPECT_EQ(Progress(), "Conversion stopped. 1 of 3 films done.");
  EXPECT_EQ(app.form.txtTMP.Text, outputDir.withSep());
  EXPECT_FALSE(app.form.lblMulti.Visible || StopRequested() || app.stopped);
}

// The last seconds of a tool read "finishing"; the window's title carries the percentage
// while a tool tells it, and is the caption alone otherwise.
TEST_F(StopTest, TheLastSecondsReadFinishingAndTheTitleCarriesThePercentage) {
  const auto start = StepProgress::Clock::time_point{} + 1h;
  const struct {
    std::optional<double> share;
    std::chrono::seconds spent;
    const char* detail;
  } cases[] = {
      {0.5, 20s, "50 % \u2014 about 20 s left"}, {0.5, 5s, "50 % \u2014 about 5 s left"},
      {0.9, 40s, "90 % \u2014 finishing"},       {0.999, 100s, "99 % \u2014 finishing"},
      {std::nullopt, 40s, "40 s in this step"},
  };
  const std::string caption = app.form.Caption;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.detail);
    StepProgress progress{
        .toolRunning = true, .share = c.share, .stepStart = start, .toolStart = start};
    EXPECT_EQ(ProgressDetail(progress, start + c.spent), c.detail);
    const std::string percent = c.share ? std::string(c.detail).substr(0, 4) + " \u2014 " : "";
    EXPECT_EQ(ProgressPanel::WindowTitle(caption, progress).toStdString(), percent + caption);
  }
  // The window's title during a tool and after it.
  std::string during;
  runner.On("mkvinfo.exe", [&](const std::vector<std::string>&) {
    app.form.progress.toolRunning = true;
    app.form.progress.share = 0.42;
    runner.CallIdle();
    during = window.windowTitle().toStdString();
    app.form.progress.toolRunning = false;
    return std::string();
  });
  window.ConvertCommandLine(ParseCommandLine(std::vector<std::string>{Film("film.mkv")}));
  EXPECT_EQ(during, "42 % \u2014 " + caption);
  EXPECT_EQ(window.windowTitle().toStdString(), caption);
}

// Stop during a real encode (the real runner, the toolkit in a copied program folder):
// the tool ends at once, the output folder is as it was, the window is idle and no stop
// is left pending; then the next conversion runs to its end.
TEST_F(RealToolsTest, StopEndsARealEncodeAndPutsTheEarlierResultBack) {
  RealProgram program{dir.path() / "program"};
  const std::string film =
      TestFilm("stopped.mkv", "320x240", 60, "-c:v libx264 -preset ultrafast -c:a ac3 -ac 6");
  ASSERT_FALSE(film.empty());
  const fs::path output = dir.path() / "output", earlier = output / "stopped.mp4";
  fs::create_directories(output);
  WriteFile(earlier, "an earlier result");
  program.WriteSettings(
      {.outputFolder = output.string() + "/", .sourceFolder = dir.str() + "/", .recode = true});
  RealWindow<ScriptedQtUi> real(program);
  App& app = real.app;
  MainWindow& window = real.window;
  auto& ui = real.ui;
  window.show();
  auto* stop = window.findChild<QPushButton*>("cmdStop");
  ASSERT_NE(stop, nullptr);
  std::optional<std::chrono::steady_clock::time_point> pressed;
  ui.afterRepaint = [&] {
    const std::optional<double>& share = app.form.progress.share;
    if (pressed || app.form.txtProgress.Text != "Encoding H264" || !share || *share < 0.05) return;
    EXPECT_TRUE(stop->isEnabled());
    pressed = std::chrono::steady_clock::now();
    stop->click();
  };
  window.Load(ParseCommandLine(std::vector<std::string>{film}));
  ui.afterRepaint = nullptr;
  ASSERT_TRUE(pressed) << ReadFile(program.folder() / "tools.log");
  EXPECT_LT(std::chrono::steady_clock::now() - *pressed, 5s);
  // No tool of the program folder is left (the brackets keep pgrep from finding its shell).
  const std::string folder = program.folder().string();
  EXPECT_NE(RunShell("pgrep -f " + ShellQuoted("[" + folder.substr(0, 1) + "]" + folder.substr(1)))
                .status,
            0);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(output)) left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"stopped.mp4"});
  EXPECT_EQ(ReadFile(earlier), "an earlier result");
  EXPECT_EQ(window.findChild<QLineEdit*>("txtProgress")->text(), "Conversion stopped.");
  EXPECT_TRUE(!stop->isEnabled() && window.findChild<QWidget*>("Command2")->isEnabled());
  EXPECT_FALSE(StopRequested() || app.stopped || window.Busy());
  window.findChild<QPushButton*>("Command2")->click();
  EXPECT_EQ(app.form.txtProgress.Text, "Conversion done")
      << ReadFile(program.folder() / "tools.log");
  EXPECT_NE(ReadFile(earlier), "an earlier result");
}

// The built program on a film that fails with an error box: a SIGTERM closes the box and
// the program ends with the stop's status, without waiting for an answer.
TEST_F(RealToolsTest, ASignalClosesAnOpenBoxAndEndsTheProgram) {
  RealProgram program{dir.path() / "program"};
  const fs::path start = dir.path() / "start";
  fs::create_directories(start);
  WriteFile(start / "broken.mkv", "not really a film");
  program.WriteSettings({.outputFolder = dir.str() + "/", .sourceFolder = dir.str() + "/"});
  const ProgramRun run = RunShell("cd " + ShellQuoted(start.string()) +
                                  " && DISPLAY=:0 QT_QPA_PLATFORM=offscreen timeout -k 5 60 " +
                                  ShellQuoted((program.folder() / "quillet").string()) +
                                  " broken.mkv 2>/dev/null & sleep 4; kill -TERM $!; wait $!");
  EXPECT_EQ(run.status, 143) << ReadFile(program.folder() / "debug.log");
}

}  // namespace
}  // namespace quillet::test
