#include "queue/Job.h"

#include <algorithm>
#include <array>

namespace quillet {
namespace {

constexpr std::array<std::pair<JobState, const char*>, 5> kStateNames = {{
    {JobState::kWaiting, "waiting"},
    {JobState::kRunning, "running"},
    {JobState::kDone, "done"},
    {JobState::kFailed, "failed"},
    {JobState::kStopped, "stopped"},
}};

bool Has(const Job& job, const char* option) {
  return std::find(job.options.begin(), job.options.end(), option) != job.options.end();
}

}  // namespace

const char* StateName(JobState state) {
  for (const auto& [s, name] : kStateNames)
    if (s == state) return name;
  return "";
}

std::optional<JobState> StateFromName(const std::string& name) {
  for (const auto& [state, n] : kStateNames)
    if (name == n) return state;
  return std::nullopt;
}

bool Runnable(const Job& job) {
  // A stopped film was cut short by the user, not by a fault: it runs again.
  return job.state == JobState::kWaiting || job.state == JobState::kStopped;
}

bool Movable(const Job& job) {
  return job.state != JobState::kRunning && job.state != JobState::kDone;
}

std::string OptionValue(const Job& job, const std::string& option) {
  const auto it = std::find(job.options.begin(), job.options.end(), option);
  return it == job.options.end() || it + 1 == job.options.end() ? "" : *(it + 1);
}

std::string OutputKind(const Job& job) {
  if (Has(job, "--avchd")) return "AVCHD";
  if (Has(job, "--m2ts")) return "M2TS";
  return "MP4";
}

}  // namespace quillet
