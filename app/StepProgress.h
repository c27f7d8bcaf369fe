#pragma once
// How far the running step is: what its tool tells of the share done, when the step and
// the tool started, and where the run is among several films or parts. The window and
// the console show it beside the step text, which stays as the step set it.

#include <chrono>
#include <optional>
#include <string>

namespace quillet {

struct StepProgress {
  using Clock = std::chrono::steady_clock;

  bool toolRunning = false;
  std::optional<double> share;  // 0 to 1, as the running tool told it; none yet
  Clock::time_point stepStart{};
  Clock::time_point toolStart{};
  std::string film;  // "film 4 of 7" in a folder run
  std::string part;  // "part 2 of 3" of a split source
};

// "42 % — about 3 min left", "97 % — finishing" for the last seconds; only "42 %" while it is too
// early to tell; "1 min 20 s in this step" when the tool tells nothing. Empty while no tool runs.
std::string ProgressDetail(const StepProgress& progress, StepProgress::Clock::time_point now);

// The time the rest of the tool's work should take at the pace so far; none while too
// little is done or too little time has passed to judge the pace.
std::optional<std::chrono::seconds> TimeLeft(const StepProgress& progress,
                                             StepProgress::Clock::time_point now);

// "42 %" of the running tool; empty while no tool runs or it has told nothing yet.
std::string PercentDone(const StepProgress& progress);

// "film 4 of 7, part 2 of 3", "part 1 of 3", or empty for a single film.
std::string OverallPosition(const StepProgress& progress);

// "N of M" with the word in front ("film", "part"): position `index` counted from 0.
std::string PositionText(const char* word, size_t index, size_t count);

}  // namespace quillet
