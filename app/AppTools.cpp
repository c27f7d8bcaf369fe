#include "app/AppTools.h"

#include "app/Ui.h"
#include "base/Files.h"
#include "tools/Paths.h"

namespace quillet {

ToolPriority ChosenPriority(const App& app) {
  if (app.normalPriority) return ToolPriority::Normal;
  return app.form.cmbPrio.ListIndex == 1 ? ToolPriority::High : ToolPriority::Low;
}

namespace {

// Marks a tool as running in the step's progress while it lives, however the run ends.
class ToolRunning {
 public:
  explicit ToolRunning(StepProgress& progress) : progress_(progress) {
    progress_.toolRunning = true;
    progress_.share.reset();
    progress_.toolStart = StepProgress::Clock::now();
  }
  ~ToolRunning() { progress_.toolRunning = false; }
  ToolRunning(const ToolRunning&) = delete;
  ToolRunning& operator=(const ToolRunning&) = delete;

 private:
  StepProgress& progress_;
};

}  // namespace

int RunTool(App& app, const std::string& commandLine) {
  ToolRunning running(app.form.progress);
  return app.ctx.runner.RunTool(commandLine, ChosenPriority(app));
}

void RunToolHidden(App& app, const std::string& commandLine) {
  ToolRunning running(app.form.progress);
  app.ctx.runner.RunToolHidden(commandLine, ChosenPriority(app));
}

std::string GetCommandOutput(App& app, const std::string& commandLine, bool captureStdout,
                             bool captureStderr, bool convertFromOem) {
  return app.ctx.runner.GetCommandOutput(commandLine, captureStdout, captureStderr, convertFromOem);
}

void AppendDebugLog(App& app, const std::string& line) {
  quillet::AppendDebugLog(app.ctx.files.logFolder, line);
}

std::string ToolPath(const App& app, const std::string& relative) {
  return ProgramPath(app.ctx.programFolder, relative);
}

void SetProgress(App& app, const std::string& text) {
  // The same text again is the same step going on.
  if (text != app.form.txtProgress.Text) app.form.progress.stepStart = StepProgress::Clock::now();
  app.form.txtProgress.Text = text;
  app.form.Repaint();
}

}  // namespace quillet
