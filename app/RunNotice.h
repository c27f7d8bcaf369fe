#pragma once
// The end of a long run told to the desktop: a handler of the window that converted
// something (a film, a folder, a queue) and took more than a minute ends with a
// notification of the window's last progress text ("Conversion done", or what failed).

#include <chrono>
#include <functional>

namespace quillet {

struct App;

class RunNotice {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::chrono::seconds kLongRun{60};

  // Made when the handler starts.
  explicit RunNotice(const App& app, Clock now = &std::chrono::steady_clock::now);
  // Called when the handler has returned.
  void End() const;

 private:
  const App& app_;
  Clock now_;
  std::chrono::steady_clock::time_point start_;
  int conversionsBefore_;
};

}  // namespace quillet
