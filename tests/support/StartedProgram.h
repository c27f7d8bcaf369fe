#pragma once
// A program started in the background without a display, so a test can signal it while
// it works; and the processes a test looks for once it ended.

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/TestApp.h"

namespace quillet::test {

class StartedProgram {
 public:
  // Starts argv[0] in `workFolder`, DISPLAY and WAYLAND_DISPLAY unset unless `environment`
  // ("NAME=value" each) sets them, standard input empty, standard error kept. A program
  // still running at the end is killed and reaped.
  StartedProgram(const std::vector<std::string>& argv, const std::string& workFolder,
                 const std::vector<std::string>& environment = {});
  ~StartedProgram() { Wait(0); }

  pid_t pid() const { return pid_; }
  void Signal(int signal) const;
  // Waits at most `seconds` for the end: the exit status, 1000 + the signal when a signal
  // ended it, -1 when it did not end in time (it is killed then).
  int Wait(int seconds);
  std::string Err() const { return ReadFile(err_.path() / "stderr"); }

 private:
  TempFolder err_{"quillet-started"};
  pid_t pid_ = -1;
};

// True while a process of that pid runs (one that ended but is not yet reaped does not).
bool ProcessRuns(pid_t pid);
// The running processes whose stat field `index` (1 parent, 2 group) is `value`.
std::vector<pid_t> ProcessesWith(size_t index, pid_t value);
inline std::vector<pid_t> GroupMembers(pid_t group) {
  return ProcessesWith(2, group);
}
inline std::vector<pid_t> ChildrenOf(pid_t parent) {
  return ProcessesWith(1, parent);
}
// Waits at most `seconds` until the file holds a whole line (or more); its text then.
std::string AwaitFile(const std::string& path, int seconds);

}  // namespace quillet::test
