#include "toolkit/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "base/Process.h"
#include "base/StopRequest.h"
#include "base/Text.h"
#include "base/UniqueFd.h"
#include "toolkit/progress/ProgressFile.h"
#include "toolkit/progress/ProgressParsers.h"

namespace quillet::toolkit {
namespace {

std::string g_logName = "quillet-toolkit";
bool g_logEnabled = true;

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    done += static_cast<size_t>(wrote);
  }
}

// Feeds the parser and tells the program the share it read; the rest goes to the log.
void TakeProgress(ProgressParser& parser, const char* data, size_t size, bool passOn) {
  std::string rest = parser.Feed(std::string_view(data, size));
  if (passOn) WriteAll(2, rest);
  if (auto fraction = parser.Fraction()) ProgressFile::OfProcess().Report(*fraction);
}

// A pipe whose read end stays ours (close-on-exec) and whose write end the child gets.
struct Pipe {
  UniqueFd read, write;
  bool Open() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    read = UniqueFd(ends[0]);
    write = UniqueFd(ends[1]);
    return true;
  }
};

}  // namespace

void SetLogName(const std::string& name) {
  g_logName = name;
}

void Log(const std::string& message) {
  if (g_logEnabled) std::cerr << g_logName << ": " << message << std::endl;
}

void SetLogEnabled(bool enabled) {
  g_logEnabled = enabled;
}

void InstallSignalForwarding() {
  InstallStopSignals();
}

int Interrupted() {
  return StopSignal();
}

ToolResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  ToolResult result;
  if (argv.empty()) return result;
  Log("running: " + ShowCommand(argv));
  // Held back from here until the child is known, so a stop that arrives meanwhile is
  // either seen below or forwarded to the child, never lost between the two.
  StopSignalsHeld held;
  if (StopRequested()) {
    Log("not started: interrupted");
    return result;
  }
  const bool progressOnOut = options.progress && !options.progressOnFd3;
  const bool progressOnFd3 = options.progress && options.progressOnFd3;
  const bool pipeOut = options.captureOut || options.onOut || progressOnOut;
  Pipe out, err, progress;
  if ((pipeOut && !out.Open()) || (progressOnFd3 && !progress.Open()) ||
      (options.captureErr && !err.Open())) {
    Log(std::string("cannot create a pipe: ") + std::strerror(errno));
    return result;
  }
  // Uncaptured standard output goes to our standard error.
  ChildLaunch launch;
  launch.program = ResolveProgram(argv[0]);
  launch.argv = argv;
  launch.stdoutFd = pipeOut ? out.write.Get() : 2;
  if (options.captureErr) launch.stderrFd = err.write.Get();
  if (progressOnFd3) launch.fd3 = progress.write.Get();
  ChildProcess child(launch);
  if (!child.Started()) {
    Log("cannot run " + argv[0] + ": " + std::strerror(child.StartError()));
    return result;
  }
  ForwardStopsTo(child.Pid());
  held.Release();
  out.write.Reset();
  err.write.Reset();
  progress.write.Reset();
  // A streamed result moves through a wider pipe in fewer, larger pieces.
  if (options.onOut && out.read.Valid()) fcntl(out.read.Get(), F_SETPIPE_SZ, 1 << 20);

  std::vector<int> fds;
  for (const Pipe* p : {&out, &err, &progress})
    if (p->read.Valid()) fds.push_back(p->read.Get());
  DrainPipes(fds, [&](int fd, const char* data, size_t size) {
    const bool isOut = fd == out.read.Get();
    if (fd == progress.read.Get() || (isOut && progressOnOut)) {
      TakeProgress(*options.progress, data, size, isOut);
    } else if (isOut && options.onOut) {
      if (!result.outRefused && !options.onOut(data, size)) {
        result.outRefused = true;
        kill(child.Pid(), SIGTERM);
      }
    } else {
      (isOut ? result.out : result.err).append(data, size);
    }
    return true;
  });
  if (progressOnOut) WriteAll(2, options.progress->Finish());

  const int status = child.WaitStatus();
  ForwardStopsTo(0);
  result.started = true;
  if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
    Log(argv[0] + " was ended by signal " + std::to_string(result.signal));
  } else if (WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
    if (result.exitCode != 0)
      Log(argv[0] + " ended with exit status " + std::to_string(result.exitCode));
  }
  return result;
}

}  // namespace quillet::toolkit
