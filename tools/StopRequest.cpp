#include "tools/StopRequest.h"

#include <signal.h>

#include <atomic>

namespace quillet {
namespace {

// Lock-free, so the handler may store into it.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void RecordStop(int signal) {
  int none = 0;
  g_stopSignal.compare_exchange_strong(none, signal);  // the first signal decides
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = RecordStop;
  sigemptyset(&action.sa_mask);
  // Restarted calls: the wait loops look at the flag at least every 100 ms anyway.
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int StopSignal() {
  return g_stopSignal.load();
}

void RequestStop(int signal) {
  RecordStop(signal);
}

void ClearStopRequest() {
  g_stopSignal.store(0);
}

void ThrowIfStopRequested() {
  if (StopRequested()) throw RunStopped();
}

int StopExitStatus() {
  return StopSignal() == SIGINT ? 128 + SIGINT : 128 + SIGTERM;
}

}  // namespace quillet
