#pragma once
// Calls the idle callback about every 100 ms while the user-interface thread waits for
// a tool, so the window can repaint.

#include <chrono>
#include <functional>

namespace quillet {

class IdleTicker {
 public:
  static constexpr std::chrono::milliseconds kPeriod{100};

  explicit IdleTicker(std::function<void()> idle);

  // How long a wait may block before the next call is due (0 when it is due now).
  int MillisecondsToNextCall() const;

  // Calls the callback when it is due.
  void Tick();

 private:
  std::function<void()> idle_;
  std::chrono::steady_clock::time_point due_;
};

}  // namespace quillet
