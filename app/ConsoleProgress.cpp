#include "app/ConsoleProgress.h"

namespace quillet {
namespace {

constexpr const char* kDash = " \u2014 ";
// Clears what a longer, earlier status line left to the right of the cursor.
constexpr const char* kClearToEnd = "\x1b[K";

std::string Joined(std::initializer_list<std::string> parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!text.empty()) text += kDash;
    text += part;
  }
  return text;
}

}  // namespace

std::string StatusLine(const std::string& step, const StepProgress& progress,
                       StepProgress::Clock::time_point now) {
  return Joined({step, ProgressDetail(progress, now), OverallPosition(progress)});
}

std::string FitToColumns(const std::string& text, int columns) {
  if (columns <= 1) return columns == 0 ? text : "";
  int characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A byte 10xxxxxx continues a character; every other byte starts one.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (++characters == columns) return text.substr(0, i);
  }
  return text;
}

ConsoleProgress::ConsoleProgress(std::ostream& err, Mode mode,
                                 std::function<Clock::time_point()> now, int columns)
    : err_(err), mode_(mode), now_(std::move(now)), columns_(columns) {}

void ConsoleProgress::Show(const std::string& step, const StepProgress& progress) {
  const Clock::time_point now = now_();
  if (mode_ == Mode::Terminal)
    ShowOnTerminal(step, progress, now);
  else
    ShowInLog(step, progress, now);
}

void ConsoleProgress::ShowInLog(const std::string& step, const StepProgress& progress,
                                Clock::time_point now) {
  if (!stepShown_ || step != lastStep_) {
    stepShown_ = true;
    lastStep_ = step;
    lastLine_ = now;
    if (!step.empty()) err_ << step << std::endl;
    return;
  }
  if (!progress.toolRunning || now - lastLine_ < kLogPeriod) return;
  lastLine_ = now;
  err_ << "  " << Joined({ProgressDetail(progress, now), OverallPosition(progress)}) << std::endl;
}

void ConsoleProgress::ShowOnTerminal(const std::string& step, const StepProgress& progress,
                                     Clock::time_point now) {
  // A new step keeps the last one's line as it ended and starts a line of its own.
  if (stepShown_ && step != lastStep_) BreakLine();
  stepShown_ = true;
  lastStep_ = step;
  const std::string line = FitToColumns(StatusLine(step, progress, now), columns_);
  if (line.empty() || line == statusLine_) return;
  statusLine_ = line;
  err_ << '\r' << line << kClearToEnd << std::flush;
}

void ConsoleProgress::BreakLine() {
  if (statusLine_.empty()) return;
  statusLine_.clear();
  err_ << std::endl;
}

}  // namespace quillet
