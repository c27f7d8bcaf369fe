#pragma once
// Starting the Debian tools through the shared runner (base/Process.h): an argv (never a
// shell), optional capture of their output, and what every adapter prints about it on
// standard error.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quillet::toolkit {

class ProgressParser;

struct RunOptions {
  bool captureOut = false;  // keep standard output in ToolResult::out
  bool captureErr = false;  // keep standard error in ToolResult::err (else it passes through)
  // Standard output handed over piece by piece as it comes (instead of captureOut), for
  // results too big to hold. Returning false stops the tool.
  std::function<bool(const char* data, size_t size)> onOut;
  // Reads how far the tool is and reports it to the program (toolkit/progress/). From
  // descriptor 3 when progressOnFd3 (ffmpeg -progress pipe:3), else from the standard
  // output, whose other lines still pass through to our standard error.
  ProgressParser* progress = nullptr;
  bool progressOnFd3 = false;
};

struct ToolResult {
  bool started = false;  // false when the program could not be executed at all
  int exitCode = -1;     // exit status when it exited normally
  int signal = 0;        // the signal that ended it, 0 when it exited
  std::string out;
  std::string err;
  bool outRefused = false;  // onOut returned false and the tool was stopped
  bool Exited(int code) const { return started && signal == 0 && exitCode == code; }
  bool Ok() const { return Exited(0); }
};

// Runs argv[0] (looked up in PATH) with the arguments, standard input from /dev/null.
// Uncaptured standard output goes to our standard error, so a slot whose report is read
// from its standard output (the checker) is never mixed with a tool's chatter.
ToolResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// Messages of the adapter, on standard error, with the slot name in front.
void SetLogName(const std::string& name);
void Log(const std::string& message);
// Messages on (the default) or off, for callers that report in their own way.
void SetLogEnabled(bool enabled);

// SIGTERM, SIGINT and SIGHUP are recorded and forwarded to the running tool's process
// group (base/StopRequest.h), so that the adapter can clean up its temporary files before
// it ends. Interrupted() tells which one arrived first, 0 when none did.
void InstallSignalForwarding();
int Interrupted();

}  // namespace quillet::toolkit
