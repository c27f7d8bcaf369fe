#include "queue/JobQueue.h"

#include <algorithm>
#include <utility>

namespace quillet {

void JobQueue::Add(Job job) {
  jobs_.push_back(std::move(job));
  Changed();
}

bool JobQueue::Remove(size_t index) {
  if (index >= jobs_.size() || !Movable(jobs_[index])) return false;
  jobs_.erase(jobs_.begin() + static_cast<std::ptrdiff_t>(index));
  Changed();
  return true;
}

bool JobQueue::MoveUp(size_t index) {
  return index > 0 && Swap(index - 1, index);
}

bool JobQueue::MoveDown(size_t index) {
  return Swap(index, index + 1);
}

bool JobQueue::Swap(size_t a, size_t b) {
  if (b >= jobs_.size() || !Movable(jobs_[a]) || !Movable(jobs_[b])) return false;
  std::swap(jobs_[a], jobs_[b]);
  Changed();
  return true;
}

void JobQueue::DropDone() {
  const auto done = [](const Job& job) { return job.state == JobState::kDone; };
  if (std::none_of(jobs_.begin(), jobs_.end(), done)) return;
  std::erase_if(jobs_, done);
  Changed();
}

std::optional<size_t> JobQueue::NextToRun() const {
  for (size_t i = 0; i < jobs_.size(); ++i)
    if (Runnable(jobs_[i])) return i;
  return std::nullopt;
}

size_t JobQueue::RunnableCount() const {
  return static_cast<size_t>(std::count_if(jobs_.begin(), jobs_.end(), Runnable));
}

void JobQueue::Mark(size_t index, JobState state, const std::string& reason) {
  if (index >= jobs_.size()) return;
  jobs_[index].state = state;
  jobs_[index].reason = state == JobState::kFailed ? reason : "";
  Changed();
}

void JobQueue::Changed() {
  if (changed_) changed_();
}

}  // namespace quillet
