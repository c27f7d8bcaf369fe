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
#include <vector>

#include "app/ConsoleUi.h"
#include "app/Program.h"
#include "gui/MainWindow.h"
#include "gui/QtUi.h"
#include "platform/GstMediaGraph.h"
#include "platform/LogindPower.h"
#include "shell/CheckCommand.h"
#include "sys/DlopenComponents.h"
#include "sys/FileAPI.h"
#include "tools/PosixToolRunner.h"
#include "tools/StopRequest.h"

namespace quillet {
namespace {

// The ports that talk to the real system.
struct RealPorts {
  PosixToolRunner runner;
  DlopenComponents components;
  LogindPower power;
  GstMediaGraph media;
};

// The width of the terminal on standard error; 0 when it is none or does not say.
int TerminalColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

bool IsSet(const char* value) {
  return value != nullptr && *value != '\0';
}

// What the tools print goes to tools.log beside the debug log, the last run's only,
// unless the user asked to see it.
void ChooseToolOutput(PosixToolRunner& runner, const std::string& programFolder) {
  if (VerboseRun()) return;
  runner.SetToolLog(programFolder + "/tools.log");
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
    if (StopRequested() && !window.Busy()) qtApp.exit(StopExitStatus());
  });
  watch->start(200);
  QObject::connect(&qtApp, &QGuiApplication::commitDataRequest, &qtApp, [&window] {
    if (window.Busy()) RequestStop(SIGTERM);
  });
}

}  // namespace

std::string ArgumentText(int argc, const char* const* argv) {
  // "--" first ends the options, as every command does: what follows is a path even
  // when it starts with a dash.
  const int first = argc > 1 && std::string(argv[1]) == "--" ? 2 : 1;
  std::string text;
  for (int i = first; i < argc; ++i) {
    if (i > first) text += ' ';
    text += argv[i];
  }
  return text;
}

void TakeVerboseOption(int& argc, char** argv) {
  int kept = 1;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    if (options && std::strcmp(argv[i], kVerboseOption) == 0) {
      setenv(kVerboseVariable, "1", 1);
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

int RunWithoutDisplay(int& argc, char** argv, const std::string& argumentText) {
  QCoreApplication qtApp(argc, argv);  // the D-Bus power-off needs one
  RealPorts ports;
  const bool terminal = isatty(STDERR_FILENO);
  ConsoleUi ui(std::cerr, terminal ? ConsoleProgress::Mode::Terminal : ConsoleProgress::Mode::Log,
               StepProgress::Clock::now, terminal ? TerminalColumns() : 0);
  Context ctx{
      ProgramFolderOfExecutable(), ports.runner, ui, ports.power, ports.components, ports.media};
  App app(ctx);
  ui.Attach(app.form);
  if (!IsConvertibleArgument(argumentText)) {
    std::cerr << kHeadlessUsage << "\n";
    return 2;
  }
  ChooseToolOutput(ports.runner, ctx.programFolder);
  // How far a tool is shows while it runs.
  ports.runner.SetIdleCallback([&ui] { ui.Repaint(); });
  try {
    Form_Load(app, argumentText);
  } catch (const RunStopped&) {
    // The conversion's guard has undone it already.
  }
  if (StopRequested()) return StopExitStatus();
  if (!app.nothingToConvert.empty()) std::cerr << app.nothingToConvert << "\n";
  return HeadlessExitStatus(app);
}

int RunCheckCommand(int argc, char** argv) {
  PosixToolRunner runner;
  const std::vector<std::string> args(argv + 2, argv + argc);
  return RunCheckCommand(ProgramFolderOfExecutable(), runner, args, std::cout, std::cerr);
}

int RunWithWindow(int& argc, char** argv, const std::string& argumentText) {
  QApplication qtApp(argc, argv);
  RealPorts ports;
  QtUi ui;
  Context ctx{
      ProgramFolderOfExecutable(), ports.runner, ui, ports.power, ports.components, ports.media};
  ChooseToolOutput(ports.runner, ctx.programFolder);
  App app(ctx);
  MainWindow window(app, ui);
  window.Load(argumentText);
  if (StopRequested()) return StopExitStatus();
  if (app.form.bUnload) return HeadlessExitStatus(app);
  WatchForStop(qtApp, window);

  const QString screenshot = qEnvironmentVariable("QUILLET_SCREENSHOT");
  if (!screenshot.isEmpty()) return ShowForScreenshot(qtApp, window, screenshot);
  window.show();
  return qtApp.exec();
}

}  // namespace quillet
