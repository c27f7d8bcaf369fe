#pragma once
// Raw H.264 handed to ffmpeg as a transport stream through a FIFO: the frames go with their
// times, read straight from the stream, so that no wrapped copy of the film is written first.
// A writer thread of ours feeds the FIFO while ffmpeg (run from the main thread) reads it.

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "base/Ffprobe.h"
#include "toolkit/es/H264Units.h"

namespace quillet::toolkit {

class RawVideoFeed {
 public:
  // Indexes the stream and makes the FIFO; nullptr with a one-line reason.
  static std::unique_ptr<RawVideoFeed> Open(const std::string& path, const std::string& fifo,
                                            const es::H264Options& options, std::string* error);
  ~RawVideoFeed();

  const std::string& Fifo() const { return fifo_; }
  // The stream as ffprobe would tell it: nobody may probe the FIFO, its reader takes the bytes.
  const ProbedStream& Stream() const { return stream_; }

  // Starts writing for one ffmpeg run, which opens the FIFO (or fails before it does).
  void Start();
  // After ffmpeg ended: a writer still waiting for it gives up. Whether every frame went out
  // (with a log line when not).
  bool Finish();

 private:
  RawVideoFeed() = default;
  void Write();
  bool OpenFifo(int& fd);

  std::string path_, fifo_;
  es::H264Options options_;
  ProbedStream stream_;
  std::shared_ptr<es::H264Units> units_;  // the next run's frames (indexed once, used once)
  std::thread writer_;
  std::atomic<bool> stop_{false};
  bool ok_ = false;
  std::string error_;
};

}  // namespace quillet::toolkit
