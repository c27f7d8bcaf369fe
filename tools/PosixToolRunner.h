#pragma once
// The tool runner on POSIX: child processes started from a Windows-style command line.

#include "tools/ToolRunner.h"

namespace quillet {

class PosixToolRunner : public ToolRunner {
 public:
  int RunTool(const std::string& commandLine, ToolPriority priority) override;
  void RunToolHidden(const std::string& commandLine, ToolPriority priority) override;
  std::string GetCommandOutput(const std::string& commandLine, bool captureStdout,
                               bool captureStderr, bool convertFromOem) override;
};

}  // namespace quillet
