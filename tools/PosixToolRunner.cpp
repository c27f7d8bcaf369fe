// The tool runner on POSIX. A tool is started from the one command-line string the
// conversion code builds, split into argv by the Windows rules, so it receives exactly
// what it would receive on Windows. Children are started with fork and exec (not
// posix_spawn) because the priority must be set in the child before exec: setting it on
// the pid afterwards would let the tool run for a while at ours.
#include "tools/PosixToolRunner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "base/Process.h"
#include "base/StopRequest.h"
#include "base/UniqueFd.h"
#include "tools/CommandLine.h"
#include "tools/ProgressChannel.h"

namespace quillet {
namespace {

int OwnNice() {
  errno = 0;
  int nice = getpriority(PRIO_PROCESS, 0);
  return errno == 0 ? nice : 0;
}

// "Low" keeps the tools behind the window and the rest of the desktop; "High" puts them
// ahead where we are allowed to raise priority (otherwise they run at ours); "Normal"
// runs them at ours.
int NiceFor(ToolPriority priority) {
  int own = OwnNice();
  if (priority == ToolPriority::Normal) return own;
  return priority == ToolPriority::High ? std::max(own - 5, -20) : std::min(own + 10, 19);
}

ChildLaunch LaunchFor(const std::string& commandLine) {
  ChildLaunch launch;
  launch.argv = SplitCommandLine(commandLine);
  if (launch.argv.empty()) return launch;
  launch.program = ResolveProgram(launch.argv[0]);
  // The tool sees the name it has on disk (the toolkit's slot links are told apart by it).
  launch.argv[0] = launch.program;
  return launch;
}

// How long a capture gives a child that has closed its output to end, before it leaves
// the child to be reaped later.
constexpr int kExitGraceMs = 500;

}  // namespace

PosixToolRunner::~PosixToolRunner() {
  ReapEnded();
}

void PosixToolRunner::ReapEnded() {
  std::erase_if(lingering_, [](pid_t pid) { return ReapIfEnded(pid); });
}

bool PosixToolRunner::SetToolLog(const std::string& path) {
  toolLog_ =
      UniqueFd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644));
  return toolLog_.Valid();
}

int PosixToolRunner::RunWithProgress(ChildLaunch& launch) {
  ProgressChannel channel;
  launch.environment.push_back(channel.EnvironmentEntry());
  double told = -1;
  const auto tellProgress = [&] {
    const std::optional<double> share = channel.Read();
    if (!share || *share <= told) return false;
    told = *share;
    CallProgress(*share);
    return true;
  };
  IdleTicker ticker([&] {
    tellProgress();
    CallIdle();
  });
  ChildProcess child(launch);
  const int exitCode = child.Wait(ticker);
  // The last word, written as the tool ended, is shown too: a finished tool stands at 1.
  if (tellProgress()) CallIdle();
  return exitCode;
}

int PosixToolRunner::RunTool(const std::string& commandLine, ToolPriority priority) {
  ReapEnded();
  ThrowIfStopRequested();
  // What a tool prints goes to the tool log when there is one, else it stays ours, to be
  // seen as in its minimised console window.
  ChildLaunch launch = LaunchFor(commandLine);
  launch.nice = NiceFor(priority);
  if (toolLog_.Valid()) launch.stdoutFd = launch.stderrFd = toolLog_.Get();
  return RunWithProgress(launch);
}

void PosixToolRunner::RunToolHidden(const std::string& commandLine, ToolPriority priority) {
  ReapEnded();
  ThrowIfStopRequested();
  ChildLaunch launch = LaunchFor(commandLine);
  launch.nice = NiceFor(priority);
  launch.stdoutFd = kNullStream;
  launch.stderrFd = kNullStream;
  RunWithProgress(launch);
}

std::string PosixToolRunner::GetCommandOutput(const std::string& commandLine, bool captureStdout,
                                              bool captureStderr, bool convertFromOem) {
  if (!captureStdout && !captureStderr)
    throw std::invalid_argument("GetCommandOutput: no output stream to capture");
  ReapEnded();
  ThrowIfStopRequested();
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return "";
  UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
  // Both streams share one pipe, so their lines arrive in the order they were written.
  // A stream not asked for goes nowhere. No priority is chosen for a report.
  ChildLaunch launch = LaunchFor(commandLine);
  launch.stdoutFd = captureStdout ? writeEnd.Get() : kNullStream;
  launch.stderrFd = captureStderr ? writeEnd.Get() : kNullStream;
  ChildProcess child(launch);
  // Declared after `child`, so it is closed first if the idle callback throws: the
  // child's next write then fails instead of blocking the reaping destructor.
  UniqueFd output(std::move(readEnd));
  writeEnd.Reset();  // only the child holds the write end now: its exit ends our reads
  if (!child.Started()) return kCreateProcessFailed;
  // Read until every writer has closed the pipe, the window repainting meanwhile.
  IdleTicker ticker([this] { CallIdle(); });
  std::string text;
  DrainPipes(
      {output.Get()},
      [&](int, const char* data, size_t size) {
        text.append(data, size);
        return true;
      },
      &ticker);
  output.Reset();
  if (StopRequested()) {
    child.Stop(kStopGraceMs);
    throw RunStopped();
  }
  // The report is complete once the child has closed its output; the child itself is not
  // waited for. One that has not ended by then is reaped by a later call.
  if (!child.WaitAtMost(kExitGraceMs)) lingering_.push_back(child.Release());
  (void)convertFromOem;  // Text is UTF-8 here: the OEM conversion is the identity.
  return text;
}

}  // namespace quillet
