#pragma once
// The tool runner on POSIX: child processes started from a Windows-style command line.

#include <sys/types.h>

#include <vector>

#include "tools/ToolRunner.h"

namespace quillet {

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

 private:
  // Reaps the children a capture returned without, as far as they have ended.
  void ReapEnded();

  // Report tools that closed their output but had not ended when the capture returned.
  std::vector<pid_t> lingering_;
};

}  // namespace quillet
