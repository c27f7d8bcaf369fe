#pragma once
// One film of the queue: its source, the options it was added with, and how far it is.

#include <optional>
#include <string>
#include <vector>

namespace quillet {

enum class JobState { kWaiting, kRunning, kDone, kFailed, kStopped };

struct Job {
  std::string source;
  // The options as command-line words ("--target", "ps3", "--m2ts", ...): a job is applied
  // to the window exactly as the command line is.
  std::vector<std::string> options;
  // What the window holds that no command-line option says: "Add Chapters", and the
  // subtitle track of the source chosen in the list (-1: none).
  int chapters = 1;
  int subtitleTrack = -1;
  JobState state = JobState::kWaiting;
  std::string reason;  // why it failed: the progress text or the box it ended with

  bool operator==(const Job&) const = default;
};

// "waiting", "running", "done", "failed", "stopped": the queue file's words and the list's.
const char* StateName(JobState state);
std::optional<JobState> StateFromName(const std::string& name);

// A job that has not run to its end: it may run (again), be removed and be moved.
bool Runnable(const Job& job);
bool Movable(const Job& job);

// The value that follows `option` among the job's words ("" when it is not there).
std::string OptionValue(const Job& job, const std::string& option);
// "MP4", "M2TS" or "AVCHD" as the job's words choose.
std::string OutputKind(const Job& job);

}  // namespace quillet
