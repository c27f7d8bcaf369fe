#pragma once
// Stopping the program from outside: SIGINT (Ctrl-C), SIGTERM and SIGHUP (a closed
// terminal, the end of the session) ask the running conversion to stop. The handler only
// records the signal; the tool runner's wait loops notice it, stop the running tool's
// process group and throw RunStopped, which unwinds the conversion to its guard, where
// the working files are deleted in ordinary code.

#include <stdexcept>

namespace quillet {

// Thrown by the tool runner when a stop was asked for: before a tool starts, or after the
// running one was stopped. Nothing of the conversion swallows it.
class RunStopped : public std::runtime_error {
 public:
  RunStopped() : std::runtime_error("stopped by a signal") {}
};

// Installs the handler of SIGINT, SIGTERM and SIGHUP.
void InstallStopSignals();

// The signal that asked for the stop, or 0.
int StopSignal();
inline bool StopRequested() {
  return StopSignal() != 0;
}

// Asks for a stop as the signal would (the window does so when the session ends).
void RequestStop(int signal);
// Forgets a stop request (tests).
void ClearStopRequest();

// Throws RunStopped when a stop was asked for.
void ThrowIfStopRequested();

// The exit status of a stopped program: 128 + the signal, as a shell reports a program a
// signal ended: 130 for SIGINT, 143 for SIGTERM and SIGHUP (the session ended).
int StopExitStatus();

}  // namespace quillet
