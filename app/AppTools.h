#pragma once
// The program's way to the tool runner and the debug log: the priority comes from the
// window's "Priority:" list at the moment of each call.

#include <string>
#include <vector>

#include "app/App.h"
#include "tools/ToolRunner.h"

namespace quillet {

ToolPriority ChosenPriority(const App& app);
int RunTool(App& app, const std::string& commandLine);
void RunToolHidden(App& app, const std::string& commandLine);
std::string GetCommandOutput(App& app, const std::string& commandLine, bool captureStdout,
                             bool captureStderr, bool convertFromOem);
void AppendDebugLog(App& app, const std::string& line);

// Program folder + a tool-table path written with '\' ("\MKVToolnix\mkvinfo.exe").
std::string ToolPath(const App& app, const std::string& relative);

// Sets the one-line progress text and lets the window repaint.
void SetProgress(App& app, const std::string& text);

}  // namespace quillet
