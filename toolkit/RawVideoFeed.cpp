#include "toolkit/RawVideoFeed.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Mp4Build.h"
#include "toolkit/Process.h"
#include "toolkit/es/TsPacketizer.h"

namespace quillet::toolkit {
namespace {

constexpr size_t kTsPacket = 188, kArrivalTime = 4;

}  // namespace

std::unique_ptr<RawVideoFeed> RawVideoFeed::Open(const std::string& path, const std::string& fifo,
                                                 const es::H264Options& options,
                                                 std::string* error) {
  std::unique_ptr<RawVideoFeed> feed(new RawVideoFeed());
  feed->path_ = path;
  feed->fifo_ = fifo;
  feed->options_ = options;
  feed->units_ = es::OpenH264Units(path, options, error);
  if (!feed->units_) return nullptr;
  if (mkfifo(fifo.c_str(), 0600) != 0) {
    if (error) *error = "cannot make the FIFO " + fifo + ": " + std::strerror(errno);
    return nullptr;
  }
  ProbedStream& s = feed->stream_;
  s.type = "video";
  s.codec = "h264";
  RawH264PictureSize(path, s.width, s.height);
  s.fps = double(options.fpsNum) / double(options.fpsDen);
  s.duration = double(feed->units_->Summary().durationTicks) / 90000;
  return feed;
}

RawVideoFeed::~RawVideoFeed() {
  Finish();
}

void RawVideoFeed::Start() {
  Finish();
  stop_ = false;
  ok_ = false;
  error_.clear();
  writer_ = std::thread([this] { Write(); });
}

bool RawVideoFeed::Finish() {
  if (!writer_.joinable()) return ok_;
  stop_ = true;
  writer_.join();
  if (!ok_) Log("the video of " + path_ + " did not all reach ffmpeg: " + error_);
  return ok_;
}

// Opening for writing waits for a reader; without one (ffmpeg failed before it opened the
// FIFO) the writer must not wait for ever, so it asks again until told to stop.
bool RawVideoFeed::OpenFifo(int& fd) {
  while ((fd = open(fifo_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0) {
    if (errno != ENXIO && errno != EINTR) {
      error_ = "cannot open " + fifo_ + ": " + std::strerror(errno);
      return false;
    }
    if (stop_) {
      error_ = "ffmpeg did not read it";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Writes wait for ffmpeg from here on; they fail once it has gone.
  return fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
}

void RawVideoFeed::Write() {
  // A reader that went away gives EPIPE here rather than ending the whole slot.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  std::shared_ptr<es::H264Units> units = std::move(units_);
  if (!units) units = es::OpenH264Units(path_, options_, &error_);  // a second run
  int fd = -1;
  if (!units || !OpenFifo(fd)) return;
  std::vector<es::TsTrack> tracks(1);
  tracks[0].reader = units;
  tracks[0].pid = 0x1011;
  tracks[0].frameRate = {options_.fpsNum, options_.fpsDen};
  // The packetizer writes m2ts packets; ffmpeg is given plain ones, without arrival times.
  std::vector<uint8_t> plain;
  const es::TsSink sink = [&](const uint8_t* data, size_t size) {
    plain.clear();
    for (size_t at = 0; at + kArrivalTime + kTsPacket <= size; at += kArrivalTime + kTsPacket)
      plain.insert(plain.end(), data + at + kArrivalTime, data + at + kArrivalTime + kTsPacket);
    if (WriteAll(fd, plain.data(), plain.size())) return true;
    error_ = std::string("ffmpeg stopped reading: ") + std::strerror(errno);
    return false;
  };
  std::string why;
  ok_ = es::WriteTransportStream(tracks, sink, &why);
  if (!ok_ && error_.empty()) error_ = why;
  close(fd);
}

}  // namespace quillet::toolkit
