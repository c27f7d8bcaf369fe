#pragma once
// The films waiting to be converted, in the order they run. Every change is told to
// `changed`, which keeps the queue file up to date.

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "queue/Job.h"

namespace quillet {

class JobQueue {
 public:
  const std::vector<Job>& jobs() const { return jobs_; }
  // Replaces every job (the queue file as read at start-up); no change is told.
  void Load(std::vector<Job> jobs) { jobs_ = std::move(jobs); }
  void OnChange(std::function<void()> changed) { changed_ = std::move(changed); }

  void Add(Job job);
  // Remove and move take only jobs that have not run to their end, and never the
  // running one; false when nothing changed.
  bool Remove(size_t index);
  bool MoveUp(size_t index);
  bool MoveDown(size_t index);
  // Films converted before are taken off the list when a new run starts.
  void DropDone();

  // The first job that may run, in queue order.
  std::optional<size_t> NextToRun() const;
  size_t RunnableCount() const;
  // Sets the state (and the reason it failed, "" otherwise) of a job.
  void Mark(size_t index, JobState state, const std::string& reason = "");

 private:
  bool Swap(size_t a, size_t b);
  void Changed();

  std::vector<Job> jobs_;
  std::function<void()> changed_;
};

}  // namespace quillet
