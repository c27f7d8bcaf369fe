#pragma once
// The queue kept on disk beside the settings file, so that films left waiting (or cut
// short by a crash) are still there at the next start.

#include <string>
#include <vector>

#include "queue/Job.h"

namespace quillet {

inline constexpr const char* kQueueFileName = "Quillet.queue";

// The queue file of the settings file kept in `settingsFolder`: wherever the settings
// go, the queue goes with them.
std::string QueueFilePath(const std::string& settingsFolder);

// The file's text: a first line naming the format, then one "key<TAB>value" line per
// field, each job starting with its "job" line. Values are escaped (\\ \t \n \r), so
// any name survives.
std::string QueueText(const std::vector<Job>& jobs);

// Writes the queue so that a crash or a full disk in between leaves the old file whole;
// false when it could not be written.
bool SaveQueue(const std::string& path, const std::vector<Job>& jobs);

struct LoadedQueue {
  std::vector<Job> jobs;
  // A file that could not be read as a queue: what is wrong and where it was kept.
  std::string problem;
};

// Reads the queue file; none gives an empty queue. A job that was running when the
// program ended waits again. A damaged file is renamed aside (never overwritten or
// dropped) and named in `problem`.
LoadedQueue LoadQueue(const std::string& path);

}  // namespace quillet
