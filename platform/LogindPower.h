#pragma once
// Powers the machine off through systemd-logind over D-Bus, falling back to
// "systemctl poweroff".

#include "sys/Power.h"

namespace quillet {

class LogindPower : public Power {
 public:
  void ShutDownWindows() override;
};

}  // namespace quillet
