#include "gui/Launch.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <vector>

#include "app/ConsoleUi.h"
#include "app/Program.h"
#include "base/StopRequest.h"
#include "base/ToolSlots.h"
#include "gui/MainWindow.h"
#include "gui/QtUi.h"
#include "platform/GstMediaGraph.h"
#include "platform/LogindPower.h"
#include "shell/CheckCommand.h"
#include "shell/CmdLine.h"
#include "sys/DlopenComponents.h"
#include "sys/FileAPI.h"
#include "sys/FileLayout.h"
#include "tools/PosixToolRunner.h"

namespace quillet {
namespace {

// The ports that talk to the real system.
struct RealPorts {
  PosixToolRunner runner;
  DlopenComponents components;
  LogindPower power;
  GstMediaGraph media;
};

// Options that cannot stand in the window are answered as a wrong argument.
CommandLine Refusal(const std::string& why) {
  CommandLine refused;
  refused.error = why;
  return refused;
}

// The width of the terminal on standard error; 0 when it is none or does not say.
int TerminalColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

// The program folder, and where this run keeps its own files: decided once, here.
struct ProgramPlace {
  ProgramPlace() { setenv(slot::kFilesVariable, files.toolFilesFolder.c_str(), 1); }
  std::string folder = ProgramFolderOfExecutable();
  FileLayout files = ChooseFileLayout(folder);
};

bool IsSet(const char* value) {
  return value != nullptr && *value != '\0';
}

// What the tools print goes to tools.log beside the debug log, the last run's only,
// unless the user asked to see it.
void ChooseToolOutput(PosixToolRunner& runner, const FileLayout& files) {
  if (VerboseRun()) return;
  runner.SetToolLog(files.logFolder + "/tools.log");
}

// Shows the window, lets the event loop paint it once, saves it as a picture and ends.
int ShowForScreenshot(QApplication& qtApp, MainWindow& window, const QString& file) {
  window.show();
  bool saved = false;
  QTimer::singleShot(500, &window, [&] {
    saved = window.grab().save(file, "PNG");
    qtApp.quit();
  });
  qtApp.exec();
  return saved ? 0 : 1;
}

// A signal, or the end of the session, stops a running conversion (the tool runner sees
// the request, the handler's guard undoes the run); once no handler runs the program
// ends with the stop's exit status.
void WatchForStop(QApplication& qtApp, const MainWindow& window) {
  auto* watch = new QTimer(&qtApp);
  QObject::connect(watch, &QTimer::timeout, &qtApp, [&qtApp, &window] {
    // The user's stop (the Stop button) ends only the run.
    if (StopRequested() && !UserStopRequested() && !window.Busy()) qtApp.exit(StopExitStatus());
  });
  watch->start(200);
  QObject::connect(&qtApp, &QGuiApplication::commitDataRequest, &qtApp, [&window] {
    if (window.Busy()) RequestStop(SIGTERM);
  });
}

}  // namespace

int AnswerWithoutRun(const CommandLine& commandLine) {
  if (!commandLine.error.empty()) {
    std::cerr << "quillet: " << commandLine.error << "\n" << UsageLine() << "\n";
    return 2;
  }
  if (commandLine.help) {
    std::cout << HelpText();
    return 0;
  }
  if (commandLine.version) {
    std::cout << VersionText() << "\n";
    return 0;
  }
  return -1;
}

void AskForToolOutput() {
  setenv(kVerboseVariable, "1", 1);
}

void TakeVerboseOption(int& argc, char** argv) {
  int kept = 1;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    if (options && std::strcmp(argv[i], kVerboseOption) == 0) {
      AskForToolOutput();
      continue;
    }
    options = false;  // the first other argument ends the leading options
    argv[kept++] = argv[i];
  }
  argc = kept;
  argv[argc] = nullptr;
}

bool VerboseRun() {
  const char* value = std::getenv(kVerboseVariable);
  return value != nullptr && std::strcmp(value, "1") == 0;
}

bool HasDisplay(const char* display, const char* waylandDisplay) {
  return IsSet(display) || IsSet(waylandDisplay);
}

bool HasDisplay() {
  return HasDisplay(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
}

int RunWithoutDisplay(int& argc, char** argv, const CommandLine& commandLine) {
  QCoreApplication qtApp(argc, argv);  // the D-Bus power-off needs one
  RealPorts ports;
  const bool terminal = isatty(STDERR_FILENO);
  ConsoleUi ui(std::cerr, terminal ? ConsoleProgress::Mode::Terminal : ConsoleProgress::Mode::Log,
               StepProgress::Clock::now, terminal ? TerminalColumns() : 0);
  const ProgramPlace place;
  Context ctx{place.folder,     ports.runner, ui,         ports.power,
              ports.components, ports.media,  place.files};
  App app(ctx);
  if (commandLine.Empty())
    return AnswerWithoutRun(Refusal("no display, and nothing to convert named"));
  if (std::optional<std::string> refused = LoadWithOptions(app, commandLine))
    return AnswerWithoutRun(Refusal(*refused));
  // From here on the progress goes to standard error.
  ui.Attach(app.form);
  ui.TellTo(std::cout);
  ChooseToolOutput(ports.runner, ctx.files);
  // How far a tool is shows while it runs.
  ports.runner.SetIdleCallback([&ui] { ui.Repaint(); });
  try {
    cmdLine(app, commandLine);
  } catch (const RunStopped&) {
    // The conversion's guard has undone it already.
    app.stopped = true;
  }
  if (!app.stopped && !app.nothingToConvert.empty()) std::cerr << app.nothingToConvert << "\n";
  return HeadlessExitStatus(app);
}

int RunCheckCommand(int argc, char** argv) {
  PosixToolRunner runner;
  const std::vector<std::string> args(argv + 2, argv + argc);
  const ProgramPlace place;
  return RunCheckCommand(place.folder, place.files, runner, args, std::cout, std::cerr);
}

int RunWithWindow(int& argc, char** argv, const CommandLine& commandLine) {
  QApplication qtApp(argc, argv);
  RealPorts ports;
  QtUi ui;
  const ProgramPlace place;
  Context ctx{place.folder,     ports.runner, ui,         ports.power,
              ports.components, ports.media,  place.files};
  ChooseToolOutput(ports.runner, ctx.files);
  App app(ctx);
  MainWindow window(app, ui);
  if (commandLine.Empty()) {
    window.Load(commandLine);
  } else {
    // Options that cannot stand are refused before the window shows. The conversion
    // shows the window while it works; the window stays open after a folder and closes
    // after files, as the script expects.
    if (std::optional<std::string> refused = LoadWithOptions(app, commandLine))
      return AnswerWithoutRun(Refusal(*refused));
    window.Refresh();
    window.show();
    QCoreApplication::processEvents();
    window.ConvertCommandLine(commandLine);
    if (app.stopped || app.form.bUnload || window.QuitAfterStop()) return HeadlessExitStatus(app);
  }
  WatchForStop(qtApp, window);

  const QString screenshot = qEnvironmentVariable("QUILLET_SCREENSHOT");
  if (!screenshot.isEmpty()) return ShowForScreenshot(qtApp, window, screenshot);
  window.show();
  return qtApp.exec();
}

}  // namespace quillet
