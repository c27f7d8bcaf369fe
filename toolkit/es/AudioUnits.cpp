#include "toolkit/es/AudioUnits.h"

#include <cstring>
#include <optional>

#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "toolkit/es/AudioFrames.h"
#include "toolkit/es/ChunkedFile.h"

namespace quillet::toolkit::es {
namespace {

struct Syntax {
  const char* name;
  std::optional<FrameHeader> (*read)(const uint8_t* p, size_t n);
  bool mpeg;  // tags around the frames, an encoder's info frame first
};

std::optional<Syntax> SyntaxOf(TrackCodec codec) {
  switch (codec) {
    case TrackCodec::Ac3:
      return Syntax{"AC-3", ReadAc3Header, false};
    case TrackCodec::Dts:
      return Syntax{"DTS", ReadDtsHeader, false};
    case TrackCodec::Aac:
      return Syntax{"ADTS", ReadAdtsHeader, false};
    case TrackCodec::Mp2:
    case TrackCodec::Mp3:
      return Syntax{"MPEG audio", ReadMpegAudioHeader, true};
    default:
      return std::nullopt;
  }
}

uint32_t Le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
}

class AudioFile : public AudioUnitReader {
 public:
  AudioFile(const Syntax& syntax, std::string name) : syntax_(syntax), name_(std::move(name)) {}
  bool Open(const std::string& path, std::string* error);
  bool Next(Unit& unit) override;
  const std::string& Error() const override { return error_; }
  AudioFormat Format() const override { return {first_.sampleRate, first_.channels}; }

 private:
  void SkipTags();
  std::optional<FrameHeader> HeaderAt(int64_t pos);
  bool Followed(int64_t pos, const FrameHeader& h);
  bool StartsAt(int64_t pos);
  int64_t Resync(int64_t from, int64_t to, bool release);
  bool Find(FrameHeader& h);
  void Skip(int64_t to);
  void TellEnd();

  Syntax syntax_;
  std::string name_;
  ChunkedFile file_;
  int64_t pos_ = 0, end_ = 0;         // the frames lie in [pos_, end_)
  std::optional<FrameHeader> ahead_;  // found at pos_, not yet handed out
  FrameHeader first_;
  bool started_ = false, ended_ = false;
  int64_t samples_ = 0, skipped_ = 0;
  std::string error_;
};

bool AudioFile::Open(const std::string& path, std::string* error) {
  if (!file_.Open(path, error)) return false;
  end_ = file_.Size();
  if (syntax_.mpeg) SkipTags();
  FrameHeader h;
  bool found = Find(h);
  // An encoder's notes in the first frame are no sound.
  if (found && syntax_.mpeg && file_.Have(pos_, h.bytes) == h.bytes &&
      IsMpegInfoFrame(file_.At(pos_), h.bytes)) {
    pos_ += static_cast<int64_t>(h.bytes);
    found = Find(h);
  }
  if (!found) {
    *error = file_.Failed() ? "cannot read " + name_
                            : "no " + std::string(syntax_.name) + " frame in " + name_;
    return false;
  }
  first_ = h;
  started_ = true;
  ahead_ = h;
  return true;
}

// ID3v2 tags before the frames; an ID3v1 tag, and an APE tag before it, after them.
void AudioFile::SkipTags() {
  while (file_.Have(pos_, 10) == 10 && !std::memcmp(file_.At(pos_), "ID3", 3)) {
    const uint8_t* p = file_.At(pos_);
    const int64_t size =
        (p[6] & 0x7F) << 21 | (p[7] & 0x7F) << 14 | (p[8] & 0x7F) << 7 | (p[9] & 0x7F);
    pos_ += 10 + size + ((p[5] & 0x10) ? 10 : 0);
    file_.Release(pos_);
  }
  uint8_t tail[32];
  if (end_ - 128 >= pos_ && file_.ReadAt(end_ - 128, tail, 3) && !std::memcmp(tail, "TAG", 3))
    end_ -= 128;
  if (end_ - 32 >= pos_ && file_.ReadAt(end_ - 32, tail, 32) && !std::memcmp(tail, "APETAGEX", 8)) {
    const int64_t size = Le32(tail + 12) + ((Le32(tail + 20) & 0x80000000u) ? 32 : 0);
    if (size <= end_ - pos_) end_ -= size;
  }
}

// A header at pos; once the stream has begun, only one of its sample rate and kind.
std::optional<FrameHeader> AudioFile::HeaderAt(int64_t pos) {
  const size_t n = file_.Have(pos, kFrameHeaderBytes);
  if (pos >= end_ || n == 0) return std::nullopt;
  auto h = syntax_.read(file_.At(pos), std::min<int64_t>(n, end_ - pos));
  if (h && h->bytes == 0) return std::nullopt;
  if (h && started_ && h->samples > 0 &&
      (h->sampleRate != first_.sampleRate || h->kind != first_.kind))
    return std::nullopt;
  return h;
}

// The frame ends where the data ends or another header begins.
bool AudioFile::Followed(int64_t pos, const FrameHeader& h) {
  const int64_t next = pos + static_cast<int64_t>(h.bytes);
  return next == end_ || HeaderAt(next).has_value();
}

// A whole frame, not a part of one, starts at pos and is followed by another.
bool AudioFile::StartsAt(int64_t pos) {
  const auto h = HeaderAt(pos);
  return h && h->samples > 0 && pos + static_cast<int64_t>(h->bytes) <= end_ && Followed(pos, *h);
}

// The first frame start in [from, to), -1 when there is none.
int64_t AudioFile::Resync(int64_t from, int64_t to, bool release) {
  for (int64_t q = from; q < to; ++q) {
    if (release) file_.Release(q);
    if (StartsAt(q)) return q;
  }
  return -1;
}

void AudioFile::Skip(int64_t to) {
  skipped_ += to - pos_;
  pos_ = to;
  file_.Release(pos_);
}

// Puts pos_ on the next frame and reads its header; false at the end of the frames.
bool AudioFile::Find(FrameHeader& h) {
  while (pos_ < end_ && !file_.Failed()) {
    const auto here = HeaderAt(pos_);
    if (!here || here->samples == 0) {
      const int64_t q = Resync(pos_ + 1, end_, true);
      Skip(q < 0 ? end_ : q);
      continue;
    }
    if (pos_ + static_cast<int64_t>(here->bytes) > end_) {
      Log("the last " + std::string(syntax_.name) + " frame of " + name_ +
          " is cut short; it is left out");
      pos_ = end_;
      break;
    }
    // A frame not followed by a header is either cut short, the next one starting inside
    // it, or whole with bytes that are no frame after it.
    if (!Followed(pos_, *here)) {
      const int64_t q = Resync(pos_ + 1, pos_ + static_cast<int64_t>(here->bytes), false);
      if (q >= 0) {
        Skip(q);
        continue;
      }
    }
    h = *here;
    return true;
  }
  return false;
}

bool AudioFile::Next(Unit& unit) {
  FrameHeader h;
  if (ahead_) {
    h = *ahead_;
    ahead_.reset();
  } else if (!Find(h)) {
    TellEnd();
    return false;
  }
  file_.Release(pos_);
  // The substreams that belong to this frame follow it.
  int64_t stop = pos_ + static_cast<int64_t>(h.bytes);
  for (std::optional<FrameHeader> part; (part = HeaderAt(stop)) && part->samples == 0 &&
                                        stop + static_cast<int64_t>(part->bytes) <= end_;)
    stop += static_cast<int64_t>(part->bytes);
  const size_t size = static_cast<size_t>(stop - pos_);
  if (file_.Have(pos_, size) < size) {
    TellEnd();
    return false;
  }
  unit.bytes.assign(file_.At(pos_), file_.At(pos_) + size);
  // From the samples counted so far, so that no rounding adds up over a long film.
  const int64_t rate = first_.sampleRate;
  unit.pts = unit.dts = (samples_ * 90000 * 2 + rate) / (2 * rate);
  unit.key = true;
  samples_ += h.samples;
  pos_ = stop;
  return true;
}

void AudioFile::TellEnd() {
  if (ended_) return;
  ended_ = true;
  if (file_.Failed()) error_ = "cannot read " + name_ + " to its end";
  if (skipped_ > 0)
    Log("passed over " + std::to_string(skipped_) + " bytes of " + name_ + " that hold no " +
        syntax_.name + " frame");
}

}  // namespace

std::unique_ptr<AudioUnitReader> OpenAudioUnits(TrackCodec codec, const std::string& path,
                                                std::string* error) {
  const auto syntax = SyntaxOf(codec);
  if (!syntax) {
    *error = NameOf(path) + " is given as a track of no audio codec the muxer reads";
    return nullptr;
  }
  auto reader = std::make_unique<AudioFile>(*syntax, NameOf(path));
  if (!reader->Open(path, error)) return nullptr;
  return reader;
}

}  // namespace quillet::toolkit::es
