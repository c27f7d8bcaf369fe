#include "toolkit/M2tsMux.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/M2tsPackets.h"
#include "toolkit/Process.h"
#include "toolkit/es/NativeMux.h"

namespace quillet::toolkit {
namespace {

// Parts as files. A cut moves the bytes after the cut (at most one group of pictures)
// from the end of one file to the next, and puts the tail in their place.
class FileParts : public m2ts::PartSink {
 public:
  explicit FileParts(std::function<std::string(int)> pathOf) : pathOf_(std::move(pathOf)) {}
  ~FileParts() override { Close(); }

  bool Open() { return OpenPart(1); }
  bool Write(const uint8_t* data, size_t size) override {
    if (buffer_.size() + size > kBuffer && !Drain()) return false;
    buffer_.insert(buffer_.end(), data, data + size);
    return true;
  }
  bool Cut(uint64_t keep, const std::vector<uint8_t>& tail,
           const std::vector<uint8_t>& head) override {
    if (!Drain()) return false;
    int previous = fd_;
    uint64_t end = written_;
    fd_ = -1;
    bool ok = OpenPart(static_cast<int>(paths_.size()) + 1) && Write(head.data(), head.size());
    std::vector<uint8_t> chunk(kBuffer);
    for (uint64_t at = keep; ok && at < end;) {
      ssize_t got = pread(previous, chunk.data(), std::min<uint64_t>(kBuffer, end - at),
                          static_cast<off_t>(at));
      ok = got > 0 && Write(chunk.data(), static_cast<size_t>(got));
      at += got > 0 ? static_cast<uint64_t>(got) : 0;
    }
    ok = ok && ftruncate(previous, static_cast<off_t>(keep)) == 0 &&
         pwrite(previous, tail.data(), tail.size(), static_cast<off_t>(keep)) ==
             static_cast<ssize_t>(tail.size());
    close(previous);
    return ok;
  }
  bool Close() {
    bool ok = Drain();
    if (fd_ >= 0) ok = close(fd_) == 0 && ok;
    fd_ = -1;
    return ok;
  }
  const std::vector<std::string>& Paths() const { return paths_; }

 private:
  static constexpr size_t kBuffer = 4 << 20;
  bool OpenPart(int n) {
    std::string path = pathOf_(n);
    if (path.empty()) return false;
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      Log("cannot write " + path + ": " + std::strerror(errno));
      return false;
    }
    paths_.push_back(path);
    written_ = 0;
    return true;
  }
  bool Drain() {
    size_t done = 0;
    while (done < buffer_.size()) {
      ssize_t n = write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        Log(std::string("cannot write the stream: ") + std::strerror(errno));
        return false;
      }
      done += static_cast<size_t>(n);
    }
    written_ += buffer_.size();
    buffer_.clear();
    return true;
  }

  std::function<std::string(int)> pathOf_;
  std::vector<std::string> paths_;
  std::vector<uint8_t> buffer_;
  uint64_t written_ = 0;
  int fd_ = -1;
};

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// ffmpeg muxes the plan into a pipe, whose packets the rewriter takes.
bool FeedFfmpegPackets(const MuxPlan& plan, m2ts::M2tsRewriter& rewriter, std::string* error) {
  RunOptions run;
  run.captureErr = true;
  run.onOut = [&](const char* data, size_t size) {
    return rewriter.Feed(reinterpret_cast<const uint8_t*>(data), size);
  };
  ToolResult r = RunProgram(M2tsFfmpegArgv(plan), run);
  if (!rewriter.Error().empty()) return Fail(error, rewriter.Error());
  if (!r.Ok()) {
    std::string said = Trim(r.err);
    said = said.substr(0, said.find('\n'));
    return Fail(error, "ffmpeg cannot mux the tracks" + (said.empty() ? "" : ": " + said));
  }
  return true;
}

bool FeedOwnPackets(const MuxPlan& plan, m2ts::M2tsRewriter& rewriter, std::string* error) {
  std::string why;
  const bool written = WriteOwnTransportStream(
      plan, [&](const uint8_t* data, size_t size) { return rewriter.Feed(data, size); }, &why);
  if (!rewriter.Error().empty()) return Fail(error, rewriter.Error());
  return written || Fail(error, why);
}

}  // namespace

std::string PartName(const std::string& path, int n) {
  if (n <= 1) return path;
  std::filesystem::path p(path);
  return (p.parent_path() / (p.stem().string() + "." + std::to_string(n) + p.extension().string()))
      .string();
}

bool MuxToM2ts(const MuxPlan& plan, long long splitBytes,
               const std::function<std::string(int)>& pathOf, std::vector<std::string>* parts,
               std::string* error) {
  FileParts files(pathOf);
  if (!files.Open()) return Fail(error, "cannot write the transport stream");
  m2ts::RewriteOptions options;
  options.splitBytes = splitBytes;
  for (const MuxStream& s : plan.streams)
    if (s.track.codec == TrackCodec::TextSubtitle && !s.info.language.empty())
      options.languages[s.pid] = s.info.language;
  m2ts::M2tsRewriter rewriter(options, files);
  const bool fed = plan.ownPacketizer ? FeedOwnPackets(plan, rewriter, error)
                                      : FeedFfmpegPackets(plan, rewriter, error);
  if (!fed) return false;
  if (!rewriter.Finish()) return Fail(error, rewriter.Error());
  if (!files.Close()) return Fail(error, "cannot write the transport stream");
  *parts = files.Paths();
  return true;
}

bool CheckM2tsParts(const std::vector<std::string>& parts, const MuxPlan& plan,
                    long long splitBytes, std::string* error) {
  double total = 0;
  for (const std::string& part : parts) {
    auto probe = ProbeMediaFile(part);
    if (!probe || probe->format != "mpegts")
      return Fail(error, "no transport stream was written: " + NameOf(part));
    if (splitBytes > 0 && FileSize(part) > splitBytes)
      return Fail(error, NameOf(part) + " is larger than the split size");
    for (const MuxStream& planned : plan.streams) {
      bool found = false;
      for (const ProbedStream& s : probe->streams)
        found = found || (s.id == planned.pid && s.codec == planned.info.codec);
      if (!found)
        return Fail(error, Format("%s lacks its %s stream (PID 0x%x)", NameOf(part).c_str(),
                                  planned.track.codecId.c_str(), planned.pid));
    }
    total += probe->duration;
  }
  // Parts lose a frame or so at each cut; a stream cut short loses far more.
  double allowed = std::max(1.0, plan.duration * 0.02);
  if (plan.duration > 0 && std::fabs(total - plan.duration) > allowed)
    return Fail(error, Format("the transport stream lasts %.2f s, the sources %.2f s", total,
                              plan.duration));
  return true;
}

}  // namespace quillet::toolkit
