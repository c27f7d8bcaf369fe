#pragma once
// The step and how far it is, on standard error of a run without a display.
//
// On a terminal one status line per step rewrites itself ("\r": step, share, time left,
// film or part), so a two-hour encode stays on one line. Into a log or a script each
// step text is one line, and a line on how far the step is follows at most every 10
// seconds, so the log stays as short as the run has steps.

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "app/StepProgress.h"

namespace quillet {

class ConsoleProgress {
 public:
  enum class Mode { Log, Terminal };
  using Clock = StepProgress::Clock;

  static constexpr std::chrono::seconds kLogPeriod{10};

  // `columns`: the terminal's width; a status line is cut to fit it, as a wrapped line
  // could not be rewritten in place. 0 when unknown.
  ConsoleProgress(std::ostream& err, Mode mode, std::function<Clock::time_point()> now,
                  int columns = 0);

  // Shows the step text and its progress as far as the mode wants it shown now.
  void Show(const std::string& step, const StepProgress& progress);

  // Ends an open status line, so what is written next starts on a line of its own.
  void BreakLine();

 private:
  void ShowInLog(const std::string& step, const StepProgress& progress, Clock::time_point now);
  void ShowOnTerminal(const std::string& step, const StepProgress& progress, Clock::time_point now);

  std::ostream& err_;
  Mode mode_;
  std::function<Clock::time_point()> now_;
  int columns_;
  bool stepShown_ = false;
  std::string lastStep_;
  Clock::time_point lastLine_{};
  std::string statusLine_;  // what the open terminal line shows; empty when none is open
};

// The first `columns` - 1 characters (not bytes) of a UTF-8 text: the last column is left
// free, where some terminals would already wrap. 0 columns: the whole text.
std::string FitToColumns(const std::string& text, int columns);

// "Encoding H264 — 42 % — about 3 min left — film 2 of 7": the parts that are known.
std::string StatusLine(const std::string& step, const StepProgress& progress,
                       StepProgress::Clock::time_point now);

}  // namespace quillet
