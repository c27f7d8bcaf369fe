#pragma once
// "Start queue": the films that wait are converted one after another, each with the
// options it was added with, through the "Convert" button's handler. Nobody watches: a
// box takes its default answer at once and its text becomes the film's reason, a
// failed film is marked and the next one runs.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "app/App.h"
#include "queue/JobQueue.h"
#include "queue/WindowOptions.h"

namespace quillet {

// The time the rest of the queue should take at the pace of the films done so far,
// judged by the size of the sources; none before a film is done.
std::optional<std::chrono::seconds> QueueTimeLeft(std::chrono::seconds spent, uint64_t bytesDone,
                                                  uint64_t bytesLeft);

// lblMulti during a queue: "2 of 3", then ", about 12 min left in all" once it can tell.
std::string QueueCounterText(size_t index, size_t count, std::optional<std::chrono::seconds> left);

class QueueRun {
 public:
  QueueRun(App& app, JobQueue& queue) : app_(app), queue_(queue) {}

  // A box shown while a film of the queue runs: its text is kept as that film's reason,
  // and it takes its default button without waiting for a user.
  int AnswerBox(const std::string& text, int style);

  // Runs the films that wait (done films of earlier runs leave the list first). The
  // window's options are as before afterwards. A stop marks the running film stopped (it
  // runs again next time), says how far the queue got, and goes on up (RunStopped).
  void Run();

 private:
  void RunEach(size_t count);
  // The film converted; the reason when it was not.
  std::optional<std::string> RunJob(const Job& job);
  void ShowCounter(size_t index, size_t count, std::optional<std::chrono::seconds> left);

  App& app_;
  JobQueue& queue_;
  WindowOptions base_;
  std::string lastBox_;
  size_t done_ = 0, failed_ = 0;
};

}  // namespace quillet
