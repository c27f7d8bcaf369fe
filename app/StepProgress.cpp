#include "app/StepProgress.h"

#include <cmath>

namespace quillet {
namespace {

using std::chrono::seconds;

// Below this share or this time the pace says little (a tool's start-up, its probing).
constexpr double kLeastShareToJudge = 0.02;
constexpr seconds kLeastTimeToJudge{3};

std::string TwoDigits(long long value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

// "45 s", "3 min 05 s", "1 h 02 min".
std::string Duration(seconds time) {
  const long long total = time.count();
  if (total < 60) return std::to_string(total) + " s";
  if (total < 3600) return std::to_string(total / 60) + " min " + TwoDigits(total % 60) + " s";
  return std::to_string(total / 3600) + " h " + TwoDigits(total % 3600 / 60) + " min";
}

// "about 40 s left", "about 3 min left", "about 1 h 20 min left": rounded as far as an
// estimate deserves; "finishing" for the last seconds.
std::string LeftText(seconds left) {
  const long long total = left.count();
  if (total < 5) return "finishing";
  if (total < 60) return "about " + std::to_string((total + 4) / 5 * 5) + " s left";
  const long long minutes = (total + 30) / 60;
  if (minutes < 60) return "about " + std::to_string(minutes) + " min left";
  return "about " + std::to_string(minutes / 60) + " h " + TwoDigits(minutes % 60) + " min left";
}

}  // namespace

std::optional<seconds> TimeLeft(const StepProgress& progress, StepProgress::Clock::time_point now) {
  if (!progress.toolRunning || !progress.share) return std::nullopt;
  const double share = *progress.share;
  const auto spent = std::chrono::duration<double>(now - progress.toolStart);
  if (share < kLeastShareToJudge || spent < kLeastTimeToJudge) return std::nullopt;
  return seconds(std::llround(spent.count() * (1.0 - share) / share));
}

std::string ProgressDetail(const StepProgress& progress, StepProgress::Clock::time_point now) {
  if (!progress.toolRunning) return "";
  if (!progress.share) {
    const auto spent = std::chrono::duration_cast<seconds>(now - progress.stepStart);
    return Duration(std::max(spent, seconds(0))) + " in this step";
  }
  std::string text = PercentDone(progress);
  if (auto left = TimeLeft(progress, now)) text += " \u2014 " + LeftText(*left);
  return text;
}

std::string PercentDone(const StepProgress& progress) {
  if (!progress.toolRunning || !progress.share) return "";
  return std::to_string(static_cast<int>(std::floor(*progress.share * 100))) + " %";
}

std::string OverallPosition(const StepProgress& progress) {
  if (progress.film.empty()) return progress.part;
  if (progress.part.empty()) return progress.film;
  return progress.film + ", " + progress.part;
}

std::string PositionText(const char* word, size_t index, size_t count) {
  return std::string(word) + " " + std::to_string(index + 1) + " of " + std::to_string(count);
}

}  // namespace quillet
