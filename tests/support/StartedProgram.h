#pragma once
// A program started in the background without a display, so a test can signal it while
// it works and look at what it left: its pid, its exit status, its standard error.

#include <sys/types.h>

#include <string>
#include <vector>

namespace quillet::test {

class StartedProgram {
 public:
  // Starts argv[0] with the arguments in `workFolder`, DISPLAY and WAYLAND_DISPLAY unset
  // unless `environment` ("NAME=value" each) sets them, standard input empty, standard
  // error into a file of its own. A program still running at the end is killed and reaped.
  StartedProgram(const std::vector<std::string>& argv, const std::string& workFolder,
                 const std::vector<std::string>& environment = {});
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  pid_t pid() const { return pid_; }
  void Signal(int signal) const;
  // Waits at most `seconds` for the end: the exit status, 1000 + the signal when a signal
  // ended it, -1 when it did not end in time (it is killed then).
  int Wait(int seconds);
  std::string Err() const;

 private:
  pid_t pid_ = -1;
  std::string errFile_;
};

// True while a process of that pid runs (one that ended but is not yet reaped does not).
bool ProcessRuns(pid_t pid);
// The pids of the running processes in the process group; of the running children.
std::vector<pid_t> GroupMembers(pid_t group);
std::vector<pid_t> ChildrenOf(pid_t parent);
// Waits at most `seconds` until the file holds a whole line (or more); its text then.
std::string AwaitFile(const std::string& path, int seconds);

}  // namespace quillet::test
