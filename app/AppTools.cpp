#include "app/AppTools.h"

#include "app/Ui.h"
#include "tools/FileTests.h"
#include "tools/Paths.h"

namespace quillet {

ToolPriority ChosenPriority(const App& app) {
  return app.form.cmbPrio.ListIndex == 1 ? ToolPriority::High : ToolPriority::Low;
}

int RunTool(App& app, const std::string& commandLine) {
  return app.ctx.runner.RunTool(commandLine, ChosenPriority(app));
}

void RunToolHidden(App& app, const std::string& commandLine) {
  app.ctx.runner.RunToolHidden(commandLine, ChosenPriority(app));
}

std::string GetCommandOutput(App& app, const std::string& commandLine, bool captureStdout,
                             bool captureStderr, bool convertFromOem) {
  return app.ctx.runner.GetCommandOutput(commandLine, captureStdout, captureStderr, convertFromOem);
}

void AppendDebugLog(App& app, const std::string& line) {
  quillet::AppendDebugLog(app.ctx.programFolder, line);
}

std::string ToolPath(const App& app, const std::string& relative) {
  return ProgramPath(app.ctx.programFolder, relative);
}

void SetProgress(App& app, const std::string& text) {
  app.form.txtProgress.Text = text;
  app.form.Repaint();
}

}  // namespace quillet
