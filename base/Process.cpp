#include "base/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "base/PathResolve.h"
#include "base/StopRequest.h"
#include "base/UniqueFd.h"

namespace quillet {
namespace {

// --- In the child, between fork and exec: async-signal-safe calls only, since the
// --- parent may run other threads (the window's) whose locks are frozen in the copy.

[[noreturn]] void FailInChild(int reportFd) {
  int error = errno;
  while (write(reportFd, &error, sizeof error) < 0 && errno == EINTR) {
  }
  _exit(127);
}

// Moves the sources onto 0 to 3 through copies above 3, so a source that is itself one
// of those descriptors is not overwritten before it has been copied.
void SetStreamsInChild(const int (&sources)[4], int reportFd) {
  int copies[4];
  for (int i = 0; i < 4; ++i) {
    copies[i] = sources[i] < 0 ? -1 : fcntl(sources[i], F_DUPFD_CLOEXEC, 4);
    if (sources[i] >= 0 && copies[i] < 0) FailInChild(reportFd);
  }
  for (int i = 0; i < 4; ++i)
    if (copies[i] >= 0 && dup2(copies[i], i) < 0) FailInChild(reportFd);
}

// A group of its own, so a stop reaches the tool and every program it started, and
// the tool is told to end when we end, however we end: a tool must never go on writing
// into the output folder without us. The notice comes when the thread that forked ends;
// tools are started from the main thread, which lives as long as the program.
void TieToParent(pid_t parent) {
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  // The parent may have ended before the notice was asked for: then none comes.
  if (getppid() != parent) _exit(127);
}

[[noreturn]] void RunChild(const ChildLaunch& launch, char* const* argv, char* const* envp,
                           const int (&streams)[4], int reportFd, pid_t parent) {
  TieToParent(parent);
  // A tool starts with the signal state a shell would give it, whatever we ignore.
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  for (int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &defaults, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // Set here, before exec, so the tool never runs a moment at the wrong priority.
  // Raising it fails without privilege; the tool then keeps ours.
  if (launch.nice) setpriority(PRIO_PROCESS, 0, *launch.nice);
  SetStreamsInChild(streams, reportFd);
  // Descriptors opened without close-on-exec (by the window, or inherited by the toolkit)
  // are none of the tool's business.
  close_range(launch.fd3 >= 0 ? 4 : 3, ~0U, CLOSE_RANGE_CLOEXEC);
  execve(launch.program.c_str(), argv, envp);
  FailInChild(reportFd);
}

// --- In the parent.

// Our environment with the launch's entries added; an entry of ours with the same name
// gives way.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> entries;
  const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const std::string entry = *e;
    const bool replaced = std::any_of(extra.begin(), extra.end(), [&](const std::string& x) {
      return nameOf(x) == nameOf(entry);
    });
    if (!replaced) entries.push_back(entry);
  }
  entries.insert(entries.end(), extra.begin(), extra.end());
  return entries;
}

int StreamSource(int wanted, int devNull) {
  if (wanted == kNullStream) return devNull;
  return wanted == kInheritStream ? -1 : wanted;
}

// The child writes errno into the close-on-exec pipe when it cannot exec; a successful
// exec closes the pipe without a word. True (with `error`) when the exec failed.
bool ExecFailed(int reportFd, int& error) {
  ssize_t got;
  do {
    got = read(reportFd, &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof error);
}

void ReapBlocking(pid_t pid) {
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

// True while a process of the group is left (one that has ended but is not yet reaped
// by its new parent counts too).
bool GroupAlive(pid_t group) {
  return kill(-group, 0) == 0 || errno == EPERM;
}

int ExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// A descriptor that becomes readable when the child ends, where the kernel has them.
UniqueFd OpenExitNotice(pid_t pid) {
#ifdef SYS_pidfd_open
  return UniqueFd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
#else
  return UniqueFd();
#endif
}

// Sleeps until the child ends or the time is up; without a pidfd in short steps.
void WaitForExitOrTimeout(const UniqueFd& exitNotice, int milliseconds) {
  if (exitNotice.Valid()) {
    pollfd ended{exitNotice.Get(), POLLIN, 0};
    poll(&ended, 1, milliseconds);
  } else {
    poll(nullptr, 0, std::min(milliseconds, 10));
  }
}

}  // namespace

ChildProcess::ChildProcess(const ChildLaunch& launch) {
  if (launch.argv.empty()) return;
  UniqueFd devNull(open("/dev/null", O_RDWR | O_CLOEXEC));
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    startError_ = errno;
    return;
  }
  UniqueFd reportRead(report[0]), reportWrite(report[1]);
  // Everything the child touches is made before fork: it must not allocate.
  std::vector<std::string> args = launch.argv;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = ChildEnvironment(launch.environment);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  const int streams[4] = {devNull.Get(), StreamSource(launch.stdoutFd, devNull.Get()),
                          StreamSource(launch.stderrFd, devNull.Get()), launch.fd3};

  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) RunChild(launch, argv.data(), envp.data(), streams, reportWrite.Get(), parent);
  if (pid < 0) {
    startError_ = errno;
    return;
  }
  // Also here, so the group exists before we might signal it; once the child has called
  // exec this fails harmlessly, and the child has made the group itself by then.
  setpgid(pid, pid);
  reportWrite.Reset();
  int error = 0;
  if (ExecFailed(reportRead.Get(), error)) {
    ReapBlocking(pid);
    startError_ = errno = error;
    return;
  }
  pid_ = pid;
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) ReapBlocking(pid_);
}

int ChildProcess::Wait(IdleTicker& ticker) {
  if (pid_ <= 0) return -1;
  UniqueFd exitNotice = OpenExitNotice(pid_);
  while (true) {
    if (StopRequested()) {
      Stop(kStopGraceMs);
      throw RunStopped();
    }
    int status = 0;
    pid_t reaped = waitpid(pid_, &status, WNOHANG);
    if (reaped == pid_ || (reaped < 0 && errno != EINTR)) {
      // The second case: someone else reaped it (SIGCHLD ignored); nothing is left.
      pid_ = -1;
      return reaped > 0 ? ExitCode(status) : -1;
    }
    if (reaped == 0) WaitForExitOrTimeout(exitNotice, ticker.MillisecondsToNextCall());
    ticker.Tick();
  }
}

int ChildProcess::WaitStatus() {
  if (pid_ <= 0) return -1;
  int status = 0;
  pid_t reaped;
  do {
    reaped = waitpid(pid_, &status, 0);
  } while (reaped < 0 && errno == EINTR);
  pid_ = -1;
  return reaped > 0 ? status : -1;
}

bool ChildProcess::WaitAtMost(int milliseconds) {
  if (pid_ <= 0) return true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  UniqueFd exitNotice = OpenExitNotice(pid_);
  while (true) {
    if (ReapIfEnded(pid_)) {
      pid_ = -1;
      return true;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    WaitForExitOrTimeout(exitNotice, static_cast<int>(left.count()));
  }
}

void ChildProcess::Stop(int graceMs) {
  if (pid_ <= 0) return;
  const pid_t group = pid_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  kill(-group, SIGTERM);
  // The leader is reaped first; its group keeps its number while any member is left, so
  // the number cannot be given to another process meanwhile.
  const bool leaderEnded = WaitAtMost(graceMs);
  while (GroupAlive(group) && std::chrono::steady_clock::now() < deadline) poll(nullptr, 0, 20);
  if (!leaderEnded || GroupAlive(group)) kill(-group, SIGKILL);
  if (!leaderEnded) ReapBlocking(std::exchange(pid_, -1));
}

pid_t ChildProcess::Release() {
  return std::exchange(pid_, -1);
}

bool ReapIfEnded(pid_t pid) {
  pid_t reaped;
  do {
    reaped = waitpid(pid, nullptr, WNOHANG);
  } while (reaped < 0 && errno == EINTR);
  return reaped != 0;  // ended and reaped, or no such child any more
}

std::string ResolveProgram(const std::string& name) {
  if (name.empty()) return name;
  if (name.find('/') != std::string::npos) return ResolvePathNoCase(name);
  const char* searchPath = std::getenv("PATH");
  std::string dirs = searchPath ? searchPath : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = std::min(dirs.find(':', start), dirs.size());
    std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return name;
}

void DrainPipes(std::vector<int> fds, const std::function<bool(int, const char*, size_t)>& take,
                IdleTicker* ticker) {
  std::vector<char> buffer(1 << 20);
  while (!fds.empty()) {
    if (ticker && StopRequested()) return;
    std::vector<pollfd> ready;
    for (int fd : fds) ready.push_back({fd, POLLIN, 0});
    const int events =
        poll(ready.data(), ready.size(), ticker ? ticker->MillisecondsToNextCall() : -1);
    if (ticker) ticker->Tick();
    if (events < 0 && errno != EINTR) return;
    for (const pollfd& p : ready) {
      if (events <= 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t got = read(p.fd, buffer.data(), buffer.size());
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (got <= 0 || !take(p.fd, buffer.data(), static_cast<size_t>(got))) std::erase(fds, p.fd);
    }
  }
}

}  // namespace quillet
