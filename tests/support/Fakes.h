#pragma once
// Test doubles of the ports: a scripted tool runner that records every command line
// and leaves the files a real tool would, a scriptable Ui, and inert system ports.

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Ui.h"
#include "sys/Components.h"
#include "sys/MediaGraph.h"
#include "sys/Power.h"
#include "tools/ToolRunner.h"

namespace quillet::test {

enum class CallKind { Run, RunHidden, Capture };

struct ToolCall {
  CallKind kind;
  std::string commandLine;
  ToolPriority priority;
};

class FakeToolRunner : public ToolRunner {
 public:
  // What a scripted tool does: argv is the command line split by the Windows rules;
  // it may create files. It returns the text a capture gets.
  using Action = std::function<std::string(const std::vector<std::string>& argv)>;

  // Every call whose program path ends with `programSuffix` (compared without case)
  // runs `action`. Later rules win; a call no rule takes fails to start (-1).
  void On(const std::string& programSuffix, Action action, int exitCode = 0) {
    rules_.push_back({programSuffix, std::move(action), exitCode});
  }
  // Shorthand: the tool prints `output` and does nothing else.
  void Prints(const std::string& programSuffix, const std::string& output) {
    On(programSuffix, [output](const std::vector<std::string>&) { return output; });
  }
  int RunTool(const std::string& commandLine, ToolPriority priority) override {
    calls.push_back({CallKind::Run, commandLine, priority});
    return Dispatch(commandLine, nullptr);
  }
  void RunToolHidden(const std::string& commandLine, ToolPriority priority) override {
    calls.push_back({CallKind::RunHidden, commandLine, priority});
    Dispatch(commandLine, nullptr);
  }
  std::string GetCommandOutput(const std::string& commandLine, bool captureStdout,
                               bool captureStderr, bool convertFromOem) override;
  std::vector<std::string> CommandLines() const {
    std::vector<std::string> lines;
    for (const ToolCall& call : calls) lines.push_back(call.commandLine);
    return lines;
  }
  std::vector<ToolCall> calls;

 private:
  struct Rule {
    std::string suffix;
    Action action;
    int exitCode;
  };
  int Dispatch(const std::string& commandLine, std::string* output);
  std::vector<Rule> rules_;
};

struct ShownBox {
  std::string text;
  int style;
  std::string title;
};

class FakeUi : public Ui {
 public:
  int MsgBox(const std::string& text, int style, const std::string& title) override;
  std::string OpenFile(const OpenFileRequest&) override { return Next(openFileAnswers); }
  std::string BrowseForFolder(const std::string& prompt) override {
    folderPrompts.push_back(prompt);
    return Next(folderAnswers);
  }
  void Repaint() override {
    ++repaints;
    if (onRepaint) onRepaint();
  }
  void SetTopMost(bool onTop) override { topMost.push_back(onTop); }
  void Sleep(int milliseconds) override { sleptMs += milliseconds; }
  void ShowFolderWindow() override { folderWindowShown = true; }
  void HideFolderWindow() override { folderWindowShown = false; }
  void Notify(const std::string& summary, const std::string& body) override {
    notices.push_back(summary + " | " + body);
  }

  // Scripted answers, consumed in order. A box without one gets its default (OK, or
  // Yes); a dialog without one is cancelled ("").
  std::deque<int> boxAnswers;
  std::deque<std::string> openFileAnswers;
  std::deque<std::string> folderAnswers;
  std::vector<ShownBox> boxes;
  std::vector<std::string> folderPrompts, notices;
  std::vector<bool> topMost;
  std::function<void()> onRepaint;
  int repaints = 0, sleptMs = 0;
  bool folderWindowShown = false;

 private:
  template <typename T>  // the next scripted answer, or T() when the script has run out
  static T Next(std::deque<T>& answers) {
    if (answers.empty()) return T();
    T answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class FakePower : public Power {
 public:
  void ShutDownWindows() override { ++shutdowns; }
  int shutdowns = 0;
};

class FakeComponents : public Components {
 public:
  void RegisterServer(const std::string& libraryPath, bool doRegister) override {
    registered.push_back((doRegister ? "+" : "-") + libraryPath);
  }
  std::vector<std::string> registered;
};

class FakeMediaGraph : public MediaGraph {
 public:
  bool HasRegisteredFilter(const std::string& name) override {
    return std::find(registeredFilters.begin(), registeredFilters.end(), name) !=
           registeredFilters.end();
  }
  void ShowFilterPages(const std::string& name) override { shownPages.push_back(name); }
  // Writes `wav` to the WAV path and reports the graph ended, or names `missingFilter`;
  // `makeGraph`, when set, builds the graph instead.
  std::unique_ptr<AudioGraph> RunWmaToWavGraph(const std::string& source,
                                               const std::string& wavPath,
                                               std::string* missing) override;
  std::vector<std::string> registeredFilters;
  std::string missingFilter;
  std::function<std::unique_ptr<AudioGraph>(const std::string& wavPath)> makeGraph;
  std::string wav = "RIFF....WAVE";
  std::vector<std::string> shownPages;
};

}  // namespace quillet::test
