#include "toolkit/es/TsPacketizer.h"

#include <algorithm>
#include <cstring>

#include "toolkit/es/TsTables.h"

namespace quillet::toolkit::es {
namespace {

// ffmpeg's muxer delay of 0.7 s: the clock reference runs this far behind the decoding times.
constexpr int64_t kDelay = 63000;
constexpr int64_t kFirstDts = 2 * kDelay;
constexpr int64_t kClockPerTick = 300;           // 27 MHz over 90 kHz
constexpr int64_t kTablePeriod = 27000000 / 10;  // the tables go out every 100 ms
constexpr size_t kAudioPesLimit = 2930;          // larger audio frames go out at once
constexpr size_t kPacket = 188, kBuffered = 512 * 192;

// The PES stream id: Blu-ray players want AC3 under the extended stream id.
uint8_t StreamIdOf(TrackCodec codec) {
  switch (codec) {
    case TrackCodec::H264:
    case TrackCodec::Vc1:
    case TrackCodec::Mpeg2Video:
      return 0xE0;
    case TrackCodec::Mp2:
    case TrackCodec::Mp3:
    case TrackCodec::Aac:
      return 0xC0;
    case TrackCodec::Ac3:
      return 0xFD;
    default:
      return 0xBD;
  }
}

void PutTime(uint8_t* q, int prefix, int64_t t) {
  q[0] = static_cast<uint8_t>((prefix << 4) | (((t >> 30) & 7) << 1) | 1);
  const auto mid = static_cast<unsigned>(((t >> 15) & 0x7FFF) << 1 | 1);
  const auto low = static_cast<unsigned>((t & 0x7FFF) << 1 | 1);
  q[1] = static_cast<uint8_t>(mid >> 8);
  q[2] = static_cast<uint8_t>(mid);
  q[3] = static_cast<uint8_t>(low >> 8);
  q[4] = static_cast<uint8_t>(low);
}

void PutPcr(uint8_t* q, int64_t pcr) {
  const int64_t high = pcr / 300, low = pcr % 300;
  q[0] = static_cast<uint8_t>(high >> 25);
  q[1] = static_cast<uint8_t>(high >> 17);
  q[2] = static_cast<uint8_t>(high >> 9);
  q[3] = static_cast<uint8_t>(high >> 1);
  q[4] = static_cast<uint8_t>((high << 7) | (low >> 8) | 0x7E);
  q[5] = static_cast<uint8_t>(low);
}

// The PES header at q; its size.
size_t PutPesHeader(uint8_t* q, TrackCodec codec, size_t payload, int64_t pts, int64_t dts) {
  const bool ac3 = codec == TrackCodec::Ac3, both = dts != pts;
  const size_t headerLength = 5 + (both ? 5 : 0) + (ac3 ? 3 : 0);
  size_t length = payload + headerLength + 3;
  if (length > 0xFFFF || IsVideoCodec(codec)) length = 0;  // video: unbounded
  const uint8_t head[] = {0x00, 0x00, 0x01, StreamIdOf(codec), static_cast<uint8_t>(length >> 8),
                          static_cast<uint8_t>(length),
                          // subtitles: each PES starts a segment (data alignment)
                          static_cast<uint8_t>(codec == TrackCodec::TextSubtitle ? 0x84 : 0x80),
                          static_cast<uint8_t>((both ? 0xC0 : 0x80) | (ac3 ? 0x01 : 0)),
                          static_cast<uint8_t>(headerLength)};
  std::memcpy(q, head, sizeof head);
  size_t at = sizeof head;
  PutTime(q + at, both ? 3 : 2, pts);
  at += 5;
  if (both) PutTime(q + at, 1, dts), at += 5;
  if (ac3) {
    const uint8_t extension[] = {0x01, 0x81, 0x71};  // PES extension 2: stream id extension
    std::memcpy(q + at, extension, sizeof extension);
    at += sizeof extension;
  }
  return at;
}

// Fills the packet's room beyond `used` bytes, where `left` payload bytes are to go, with
// adaptation-field stuffing in front of the headers already written after the field.
void Stuff(uint8_t* buf, size_t used, size_t left) {
  if (used + left >= kPacket) return;
  const size_t stuffing = kPacket - used - left;
  if (buf[3] & 0x20) {
    const size_t field = buf[4] + 1u;
    std::memmove(buf + 4 + field + stuffing, buf + 4 + field, used - (4 + field));
    buf[4] = static_cast<uint8_t>(buf[4] + stuffing);
    std::memset(buf + 4 + field, 0xFF, stuffing);
    return;
  }
  std::memmove(buf + 4 + stuffing, buf + 4, used - 4);
  buf[3] |= 0x20;
  buf[4] = static_cast<uint8_t>(stuffing - 1);
  if (stuffing >= 2) {
    buf[5] = 0x00;
    std::memset(buf + 6, 0xFF, stuffing - 2);
  }
}

// The clock reference goes out at the start of a video PES at the latest multiple of the
// frame duration below 100 ms after the last one (and on every key frame).
int64_t PcrPeriodOf(Rational rate) {
  if (rate.num <= 0 || rate.den <= 0) return 1;
  const int64_t frame = (rate.den * 27000000 + rate.num - 1) / rate.num;
  return frame <= 27000000 / 10 ? frame * (27000000 / 10 / frame) : 1;
}

class Packetizer {
 public:
  Packetizer(std::vector<TsTrack>& tracks, const TsSink& sink)
      : tracks_(tracks), sink_(sink), lanes_(tracks.size()) {
    pcrPeriod_ = tracks.empty() ? 1 : PcrPeriodOf(tracks[0].frameRate);
    lastPcr_ = kDelay * kClockPerTick - pcrPeriod_;
    for (const TsTrack& t : tracks) streams_.push_back({t.codec, t.pid, t.language, t.sampleRate});
  }

  bool Run(std::string* error) {
    bool ok = Start();
    for (size_t next; ok && (next = Earliest()) < lanes_.size();) {
      Unit unit = std::move(lanes_[next].head);
      ok = Pull(next) && Emit(next, std::move(unit));
    }
    for (size_t i = 0; ok && i < lanes_.size(); ++i)
      if (lanes_[i].holding) ok = WritePes(i, lanes_[i].held);
    ok = ok && Drain();
    if (!ok && error) *error = error_.empty() ? "cannot write the transport stream" : error_;
    return ok;
  }

 private:
  struct Lane {
    Unit head, held;
    bool hasHead = false, holding = false;
    uint8_t continuity = 15;
  };

  bool Start() {
    int64_t lowest = 0;
    bool any = false;
    for (size_t i = 0; i < lanes_.size(); ++i) {
      if (!Pull(i)) return false;
      if (lanes_[i].hasHead)
        lowest = any ? std::min(lowest, lanes_[i].head.dts) : lanes_[i].head.dts;
      any = any || lanes_[i].hasHead;
    }
    shift_ = kFirstDts - lowest;
    return true;
  }

  bool Pull(size_t i) {
    Lane& lane = lanes_[i];
    lane.hasHead = tracks_[i].reader->Next(lane.head);
    if (!lane.hasHead && !tracks_[i].reader->Error().empty()) {
      error_ = tracks_[i].reader->Error();
      return false;
    }
    return true;
  }

  // The lane whose next unit is decoded first (the earlier track on a tie); size() at the end.
  size_t Earliest() const {
    size_t best = lanes_.size();
    for (size_t i = 0; i < lanes_.size(); ++i)
      if (lanes_[i].hasHead &&
          (best == lanes_.size() || lanes_[i].head.dts < lanes_[best].head.dts))
        best = i;
    return best;
  }

  // An audio frame waits for the next one of its stream, as in ffmpeg's muxer, which keeps
  // audio back to fill its PES packets.
  bool Emit(size_t i, Unit unit) {
    Lane& lane = lanes_[i];
    if (!IsAudioCodec(tracks_[i].codec)) return WritePes(i, unit);
    if (lane.holding && !WritePes(i, lane.held)) return false;
    lane.holding = unit.bytes.size() <= kAudioPesLimit;
    if (lane.holding) {
      std::swap(lane.held, unit);
      return true;
    }
    return WritePes(i, unit);
  }

  bool TablesIfDue(int64_t pcr) {
    if (lastTables_ && pcr - *lastTables_ < kTablePeriod) return true;
    lastTables_ = std::max(pcr, lastTables_.value_or(pcr));
    auto pmt = PmtPacket(streams_, tracks_[0].pid, pmtCount_++);
    if (!pmt) {
      error_ = "the program table does not fit one packet";
      return false;
    }
    Put(PatPacket(patCount_++).data());
    Put(pmt->data());
    return true;
  }

  bool WritePes(size_t i, const Unit& unit) {
    const TsTrack& track = tracks_[i];
    const int64_t pts = unit.pts + shift_, dts = unit.dts + shift_;
    const int64_t pcr = (dts - kDelay) * kClockPerTick;
    if (!TablesIfDue(pcr)) return false;
    const uint8_t* payload = unit.bytes.data();
    size_t left = unit.bytes.size();
    for (bool start = true; left > 0; start = false) {
      uint8_t buf[kPacket];
      bool pcrHere = i == 0 && start && pcr - lastPcr_ >= pcrPeriod_;
      if (pcrHere) lastPcr_ = std::max(pcr - pcrPeriod_, lastPcr_ + pcrPeriod_);
      buf[0] = 0x47;
      // AC3 packets carry the transport priority, as Blu-ray players' demultiplexers expect
      const bool priority = track.codec == TrackCodec::Ac3;
      buf[1] = static_cast<uint8_t>((start ? 0x40 : 0) | (priority ? 0x20 : 0) | (track.pid >> 8));
      buf[2] = static_cast<uint8_t>(track.pid);
      lanes_[i].continuity = static_cast<uint8_t>((lanes_[i].continuity + 1) & 0x0F);
      buf[3] = static_cast<uint8_t>(0x10 | lanes_[i].continuity);
      size_t used = 4;
      auto flag = [&](uint8_t bit) {
        if (!(buf[3] & 0x20)) buf[3] |= 0x20, buf[4] = 1, buf[5] = 0;
        buf[5] |= bit;
        used = 5 + buf[4];
      };
      // every audio frame and subtitle segment is a place to start from
      if (start && (unit.key || !IsVideoCodec(track.codec))) {
        pcrHere = pcrHere || i == 0;
        flag(0x40);  // random access
      }
      if (pcrHere) {
        flag(0x10);
        PutPcr(buf + used, pcr);
        buf[4] = static_cast<uint8_t>(buf[4] + 6);
        used += 6;
      }
      if (start) used += PutPesHeader(buf + used, track.codec, unit.bytes.size(), pts, dts);
      const size_t take = std::min(kPacket - used, left);
      Stuff(buf, used, left);
      std::memcpy(buf + kPacket - take, payload, take);
      payload += take;
      left -= take;
      Put(buf);
    }
    return out_.size() < kBuffered || Drain();
  }

  void Put(const uint8_t* ts) {
    out_.insert(out_.end(), 4, 0);  // the arrival time, set by the rewriter
    out_.insert(out_.end(), ts, ts + kPacket);
  }

  bool Drain() {
    if (!out_.empty() && !sink_(out_.data(), out_.size())) return false;
    out_.clear();
    return true;
  }

  std::vector<TsTrack>& tracks_;
  const TsSink& sink_;
  std::vector<Lane> lanes_;
  std::vector<ProgramStream> streams_;
  std::vector<uint8_t> out_;
  int64_t shift_ = 0;
  int64_t pcrPeriod_ = 1, lastPcr_ = 0;
  std::optional<int64_t> lastTables_;
  uint8_t patCount_ = 0, pmtCount_ = 0;
  std::string error_;
};

}  // namespace

bool WriteTransportStream(std::vector<TsTrack>& tracks, const TsSink& sink, std::string* error) {
  if (tracks.empty()) {
    if (error) *error = "no stream to write";
    return false;
  }
  return Packetizer(tracks, sink).Run(error);
}

}  // namespace quillet::toolkit::es
