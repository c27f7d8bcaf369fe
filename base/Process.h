#pragma once
// One child process, as both the program and the toolkit start their tools: fork and
// exec in a process group of its own and tied to our life (SIGTERM when we end), its
// priority, environment and descriptors set in the child before the program runs
// (everything else we hold is closed there), a start failure told apart from the
// program's own exit 127 through a close-on-exec pipe, and always reaped.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/IdleTicker.h"

namespace quillet {

// What a child gets on standard output or standard error besides a descriptor of ours.
inline constexpr int kInheritStream = -1;  // the stream we have
inline constexpr int kNullStream = -2;     // /dev/null

// How long a stopped tool's group has to end after SIGTERM before SIGKILL ends it.
inline constexpr int kStopGraceMs = 5000;

struct ChildLaunch {
  std::string program;            // path of the executable
  std::vector<std::string> argv;  // argv[0] included; empty: nothing can be started
  std::optional<int> nice;        // nice value the child takes before exec
  int stdoutFd = kInheritStream;
  int stderrFd = kInheritStream;
  int fd3 = -1;  // a descriptor of ours the child gets as its descriptor 3 (-1: none)
  // "NAME=value" entries the child gets besides (or instead of) ours.
  std::vector<std::string> environment;
};

class ChildProcess {
 public:
  // Starts the child; standard input is /dev/null. Started() is false when the program
  // cannot be started (missing, not executable, no program at all); StartError() then
  // gives the reason as an errno value.
  explicit ChildProcess(const ChildLaunch& launch);
  // Reaps a child nobody waited for (an exception from the idle callback).
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  int StartError() const { return startError_; }
  pid_t Pid() const { return pid_; }

  // Blocks until the child has ended and reaps it, ticking the idle callback meanwhile.
  // Returns its exit code, 128 + the signal number when a signal ended it, -1 when there
  // is no child to wait for. When a stop is asked for meanwhile (base/StopRequest.h), the
  // child's group is stopped (see Stop) and RunStopped is thrown.
  int Wait(IdleTicker& ticker);

  // Blocks until the child has ended and reaps it; its wait status, -1 without a child.
  int WaitStatus();

  // Ends the child's process group: SIGTERM to all of it, SIGKILL to whatever is left
  // after `graceMs`; the child is reaped.
  void Stop(int graceMs);

  // Waits at most `milliseconds` for the child to end and reaps it if it did. True when
  // no child is left to wait for.
  bool WaitAtMost(int milliseconds);

  // Gives the child up without waiting for it: the caller reaps the returned pid (see
  // ReapIfEnded). -1 when there is no child.
  pid_t Release();

 private:
  pid_t pid_ = -1;
  int startError_ = 0;
};

// Reaps the child `pid` if it has ended. True when it is gone (reaped now or before).
bool ReapIfEnded(pid_t pid);

// The executable a command line names: a path that does not exist as written is found
// without regard to case; a bare name is searched in PATH.
std::string ResolveProgram(const std::string& name);

// Reads the given descriptors of ours until every writer has closed them, handing each
// piece to `take` with the descriptor it came from; `take` returning false stops reading
// that descriptor. With a ticker (a window waiting), it is ticked between reads and a stop
// request (base/StopRequest.h) ends the reading early.
void DrainPipes(std::vector<int> fds, const std::function<bool(int fd, const char*, size_t)>& take,
                IdleTicker* ticker = nullptr);

}  // namespace quillet
