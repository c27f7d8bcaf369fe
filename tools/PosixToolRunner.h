#pragma once
// The tool runner on POSIX: child processes started from a Windows-style command line.

#include <sys/types.h>

#include <vector>

#include "base/UniqueFd.h"
#include "tools/ToolRunner.h"

namespace quillet {

struct ChildLaunch;

class PosixToolRunner : public ToolRunner {
 public:
  PosixToolRunner() = default;
  // Reaps the report tools that have ended since; one still running is left to the system.
  ~PosixToolRunner() override;
  PosixToolRunner(const PosixToolRunner&) = delete;
  PosixToolRunner& operator=(const PosixToolRunner&) = delete;

  int RunTool(const std::string& commandLine, ToolPriority priority) override;
  void RunToolHidden(const std::string& commandLine, ToolPriority priority) override;
  std::string GetCommandOutput(const std::string& commandLine, bool captureStdout,
                               bool captureStderr, bool convertFromOem) override;

  // From now on what the tools print goes to this file, emptied here, instead of our
  // standard output and error. False when it cannot be opened (they keep ours then).
  bool SetToolLog(const std::string& path);

 private:
  // Runs a tool that may tell its progress, reading it at every tick of the wait.
  int RunWithProgress(ChildLaunch& launch);
  // Reaps the children a capture returned without, as far as they have ended.
  void ReapEnded();

  // Report tools that closed their output but had not ended when the capture returned.
  std::vector<pid_t> lingering_;
  UniqueFd toolLog_;
};

}  // namespace quillet
