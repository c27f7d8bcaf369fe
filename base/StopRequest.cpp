#include "base/StopRequest.h"

#include <atomic>

namespace quillet {
namespace {

// Lock-free, so the handler may use them.
std::atomic<int> g_stopSignal{0};
std::atomic<pid_t> g_forwardGroup{0};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<pid_t>::is_always_lock_free);

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RecordStop(int signal) {
  // The first signal decides; it replaces a stop the user asked for in the window.
  int seen = g_stopSignal.load();
  while ((seen == 0 || seen == kUserStop) && !g_stopSignal.compare_exchange_weak(seen, signal)) {
  }
  const pid_t group = g_forwardGroup.load();
  if (group > 0) kill(-group, signal);
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = RecordStop;
  sigemptyset(&action.sa_mask);
  // Restarted calls: the wait loops look at the flag at least every 100 ms anyway.
  action.sa_flags = SA_RESTART;
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

int StopSignal() {
  return g_stopSignal.load();
}

void RequestStop(int signal) {
  RecordStop(signal);
}

void RequestUserStop() {
  int none = 0;
  g_stopSignal.compare_exchange_strong(none, kUserStop);
}

void ClearUserStop() {
  int user = kUserStop;
  g_stopSignal.compare_exchange_strong(user, 0);
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

void ForwardStopsTo(pid_t group) {
  g_forwardGroup.store(group);
}

StopSignalsHeld::StopSignalsHeld() {
  sigset_t stops;
  sigemptyset(&stops);
  for (int signal : kStopSignals) sigaddset(&stops, signal);
  sigprocmask(SIG_BLOCK, &stops, &before_);
}

void StopSignalsHeld::Release() {
  if (released_) return;
  released_ = true;
  sigprocmask(SIG_SETMASK, &before_, nullptr);
}

}  // namespace quillet
