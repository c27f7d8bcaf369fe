#include "base/IdleTicker.h"

#include <algorithm>

namespace quillet {

using Clock = std::chrono::steady_clock;

IdleTicker::IdleTicker(std::function<void()> idle)
    : idle_(std::move(idle)), due_(Clock::now() + kPeriod) {}

int IdleTicker::MillisecondsToNextCall() const {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(due_ - Clock::now());
  return static_cast<int>(std::clamp<long long>(left.count(), 0, kPeriod.count()));
}

void IdleTicker::Tick() {
  Clock::time_point now = Clock::now();
  if (now < due_) return;
  due_ = now + kPeriod;
  if (idle_) idle_();
}

}  // namespace quillet
