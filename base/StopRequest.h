#pragma once
// Stopping from outside: SIGINT (Ctrl-C), SIGTERM and SIGHUP (a closed terminal, the end
// of the session) ask for a stop. The handler records the signal and hands it on to the
// process group of the running tool when one is named (ForwardStopsTo). The program's
// waits notice the record, stop the running tool's group and throw RunStopped, which
// unwinds the conversion to its guard, where the working files are deleted in ordinary
// code; the toolkit forwards, so its adapter can clean up once its tool has ended.

#include <signal.h>
#include <sys/types.h>

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

// The window's Stop button asks for a stop under this number, which is no signal: the run
// unwinds as on a signal, but the program goes on.
inline constexpr int kUserStop = -1;

// The signal that asked for the stop, kUserStop, or 0.
int StopSignal();
inline bool StopRequested() {
  return StopSignal() != 0;
}

// Asks for a stop as the signal would (the window does so when the session ends).
void RequestStop(int signal);
// Asks for a stop from the window (kUserStop). A signal that comes later still counts: it
// takes the place of the user's stop.
void RequestUserStop();
inline bool UserStopRequested() {
  return StopSignal() == kUserStop;
}
// Forgets the user's stop once the run has unwound; a signal's stop stays.
void ClearUserStop();
// Forgets a stop request (tests).
void ClearStopRequest();

// Throws RunStopped when a stop was asked for.
void ThrowIfStopRequested();

// The exit status of a stopped program: 128 + the signal, as a shell reports a program a
// signal ended: 130 for SIGINT, 143 for SIGTERM and SIGHUP (the session ended).
int StopExitStatus();

// From now on the stop signals are also sent to this process group (0: to none).
void ForwardStopsTo(pid_t group);

// Holds the stop signals back while it lives (or until released), so a stop that arrives
// while a tool is being started is either seen before it or forwarded to it.
class StopSignalsHeld {
 public:
  StopSignalsHeld();
  ~StopSignalsHeld() { Release(); }
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;
  void Release();

 private:
  sigset_t before_;
  bool released_ = false;
};

}  // namespace quillet
