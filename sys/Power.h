#pragma once
// Shutting the machine down after a conversion.

namespace quillet {

class Power {
 public:
  virtual ~Power() = default;
  // Asks the system to power off. Failures are not reported: the program stays open.
  virtual void ShutDownWindows() = 0;
};

}  // namespace quillet
