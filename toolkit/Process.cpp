#include "toolkit/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "toolkit/Text.h"
#include "toolkit/progress/ProgressFile.h"
#include "toolkit/progress/ProgressParsers.h"

namespace quillet::toolkit {
namespace {

std::string g_logName = "quillet-toolkit";
bool g_logEnabled = true;
volatile sig_atomic_t g_interrupted = 0;
volatile pid_t g_child = 0;

void ForwardSignal(int sig) {
  g_interrupted = sig;
  pid_t child = g_child;
  if (child > 0) kill(child, sig);
}

// Blocks the stop signals while it lives, or until released.
class StopSignalsHeld {
 public:
  StopSignalsHeld() {
    sigset_t stops;
    sigemptyset(&stops);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, sig);
    sigprocmask(SIG_BLOCK, &stops, &before_);
  }
  ~StopSignalsHeld() { Release(); }
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;
  void Release() {
    if (released_) return;
    released_ = true;
    sigprocmask(SIG_SETMASK, &before_, nullptr);
  }

 private:
  sigset_t before_;
  bool released_ = false;
};

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

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

// In the child: the progress pipe becomes descriptor 3, open across exec.
void MoveToFd3(int fd) {
  if (fd == 3)
    fcntl(3, F_SETFD, 0);
  else
    dup2(fd, 3);
}

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
  struct sigaction action {};
  action.sa_handler = ForwardSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

int Interrupted() {
  return g_interrupted;
}

ToolResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  ToolResult result;
  if (argv.empty()) return result;
  Log("running: " + ShowCommand(argv));
  // Held back from here until the child is known, so a stop that arrives meanwhile is
  // either seen below or forwarded to the child, never lost between the two.
  StopSignalsHeld held;
  if (g_interrupted) {
    Log("not started: interrupted");
    return result;
  }

  int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1}, execPipe[2] = {-1, -1};
  int progressPipe[2] = {-1, -1};
  auto closeAll = [&] {
    for (int* p : {outPipe, errPipe, execPipe, progressPipe}) {
      CloseFd(p[0]);
      CloseFd(p[1]);
    }
  };
  const bool progressOnOut = options.progress && !options.progressOnFd3;
  const bool progressOnFd3 = options.progress && options.progressOnFd3;
  const bool pipeOut = options.captureOut || options.onOut || progressOnOut;
  if ((pipeOut && pipe2(outPipe, O_CLOEXEC) != 0) ||
      (progressOnFd3 && pipe2(progressPipe, O_CLOEXEC) != 0) ||
      (options.captureErr && pipe2(errPipe, O_CLOEXEC) != 0) || pipe2(execPipe, O_CLOEXEC) != 0) {
    Log(std::string("cannot create a pipe: ") + std::strerror(errno));
    closeAll();
    return result;
  }

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) {
    Log(std::string("cannot start: ") + std::strerror(errno));
    closeAll();
    return result;
  }
  if (pid == 0) {
    // Child: default signal handling, stdin from /dev/null, outputs as asked. The tool
    // dies with the toolkit, even one that was killed outright.
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    held.Release();
    int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    if (pipeOut)
      dup2(outPipe[1], 1);
    else
      dup2(2, 1);
    if (options.captureErr) dup2(errPipe[1], 2);
    if (progressOnFd3) MoveToFd3(progressPipe[1]);
    execvp(args[0], args.data());
    int err = errno;
    ssize_t ignored = write(execPipe[1], &err, sizeof err);
    (void)ignored;
    _exit(127);
  }

  g_child = pid;
  held.Release();
  CloseFd(outPipe[1]);
  CloseFd(errPipe[1]);
  CloseFd(execPipe[1]);
  CloseFd(progressPipe[1]);

  int execError = 0;
  ssize_t n;
  while ((n = read(execPipe[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
  }
  CloseFd(execPipe[0]);
  // A streamed result moves through a wider pipe in fewer, larger pieces.
  if (options.onOut && outPipe[0] >= 0) fcntl(outPipe[0], F_SETPIPE_SZ, 1 << 20);

  // Drain the captured pipes until all are closed.
  while (outPipe[0] >= 0 || errPipe[0] >= 0 || progressPipe[0] >= 0) {
    pollfd fds[3];
    int count = 0;
    if (outPipe[0] >= 0) fds[count++] = {outPipe[0], POLLIN, 0};
    if (errPipe[0] >= 0) fds[count++] = {errPipe[0], POLLIN, 0};
    if (progressPipe[0] >= 0) fds[count++] = {progressPipe[0], POLLIN, 0};
    if (poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < count; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      static char buffer[1 << 20];
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      const bool isOut = fds[i].fd == outPipe[0];
      const bool isProgress = fds[i].fd == progressPipe[0];
      if (got <= 0) {
        CloseFd(isProgress ? progressPipe[0] : isOut ? outPipe[0] : errPipe[0]);
        continue;
      }
      if (isProgress || (isOut && progressOnOut)) {
        TakeProgress(*options.progress, buffer, static_cast<size_t>(got), isOut);
        continue;
      }
      if (isOut && options.onOut) {
        if (!result.outRefused && !options.onOut(buffer, static_cast<size_t>(got))) {
          result.outRefused = true;
          kill(pid, SIGTERM);
        }
        continue;
      }
      (isOut ? result.out : result.err).append(buffer, static_cast<size_t>(got));
    }
  }
  closeAll();
  if (progressOnOut) WriteAll(2, options.progress->Finish());

  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) break;
  }
  g_child = 0;

  if (n > 0 && execError != 0) {
    Log("cannot run " + argv[0] + ": " + std::strerror(execError));
    return result;
  }
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
