#pragma once
// The one place where external tools are started. Conversion code never talks to
// processes directly: it hands a whole Windows-style command line to this port.
// Every call throws RunStopped (base/StopRequest.h) when a stop is asked for before or
// while the tool runs; the running tool has been stopped by then.

#include <functional>
#include <string>

namespace quillet {

// Scheduling priority of a tool run, chosen from the window's "Priority:" list.
// Low keeps the tools behind the desktop, Normal runs them at the program's own priority
// (only the command line asks for it), High ahead of it where allowed.
enum class ToolPriority { Low, Normal, High };

// Text GetCommandOutput returns when the program cannot be started.
inline constexpr const char* kCreateProcessFailed =
    "Failed to create process, check the path of the command line.";

class ToolRunner {
 public:
  virtual ~ToolRunner() = default;

  // Starts the command line (quoted executable path and arguments) and blocks until
  // the child has ended. Returns its exit code, or -1 when it cannot be started.
  virtual int RunTool(const std::string& commandLine, ToolPriority priority) = 0;

  // The same with a hidden window; nobody reads a result.
  virtual void RunToolHidden(const std::string& commandLine, ToolPriority priority) = 0;

  // Runs a console command and returns everything it wrote on the chosen streams.
  // Throws std::invalid_argument when neither stream is asked for.
  virtual std::string GetCommandOutput(const std::string& commandLine, bool captureStdout,
                                       bool captureStderr, bool convertFromOem) = 0;

  // Called about every 100 ms while a tool runs, so a window can repaint.
  void SetIdleCallback(std::function<void()> callback) { idle_ = std::move(callback); }

  // Called with the share done (0 to 1) whenever a running tool tells more of it, just
  // before the idle callback; a tool that tells nothing never calls it.
  void SetProgressCallback(std::function<void(double)> callback) {
    progress_ = std::move(callback);
  }

 protected:
  void CallIdle() {
    if (idle_) idle_();
  }
  void CallProgress(double share) {
    if (progress_) progress_(share);
  }

 private:
  std::function<void()> idle_;
  std::function<void(double)> progress_;
};

}  // namespace quillet
