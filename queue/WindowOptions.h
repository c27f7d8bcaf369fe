#pragma once
// The window's options as they stand (ticks, what is enabled and shown, list choices, the
// output folder), taken and put back as they were, without running a click rule: the
// known base each film of the queue starts from, and what the window gets back after it.

#include <array>
#include <string>

#include "app/App.h"
#include "app/Controls.h"

namespace quillet {

struct WindowOptions {
  std::array<CheckBox, 11> boxes;  // values, captions and states only (no rules)
  std::array<int, 4> lists{};      // target, recode format, disc size, priority
  std::string outputFolder;
  std::string subtitleFile;
  int16_t savedFormat = 0;  // the recode format AVCHD put aside
  bool normalPriority = false;

  bool operator==(const WindowOptions& other) const;
};

WindowOptions TakeWindowOptions(const App& app);
void RestoreWindowOptions(App& app, const WindowOptions& options);

}  // namespace quillet
