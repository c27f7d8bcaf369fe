#include "toolkit/bluray/StrictTransportStream.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <optional>

#include "base/Text.h"
#include "toolkit/H264.h"

namespace quillet::toolkit::bluray {
namespace {

constexpr uint64_t kClock = 27000000;
constexpr uint64_t kPcrWrap = (uint64_t(1) << 33) * 300;
constexpr uint64_t kMaxPcrGap = kClock / 25;   // 40 ms
constexpr uint64_t kMaxPsiGap = kClock / 10;   // 100 ms
constexpr uint32_t kArrivalMask = 0x3fffffff;  // 30 bits
constexpr uint64_t kAlignedUnit = 6144;        // 32 source packets
// Whole packets of either size, 282 KiB: small enough to stay in the cache while read.
constexpr size_t kChunk = 188 * 192 * 8;
constexpr uint16_t kNullPid = 0x1fff;

double Ms(uint64_t ticks) {
  return double(ticks) / (kClock / 1000);
}

std::string Pid(uint16_t pid) {
  return Format("PID 0x%04x", pid);
}

uint64_t ReadPts(const uint8_t* p) {
  return (uint64_t(p[0] & 0x0e) << 29) | (uint64_t(p[1]) << 22) | (uint64_t(p[2] & 0xfe) << 14) |
         (uint64_t(p[3]) << 7) | (uint64_t(p[4]) >> 1);
}

// The audio's sample rate from the first frame header in `p`; 0 when none is found.
int SampleRateOf(uint8_t type, const uint8_t* p, size_t n) {
  for (size_t i = 0; i + 6 <= n; ++i) {
    switch (type) {
      case 0x81:
      case 0x83:
      case 0x84:
      case 0xa1:  // AC3 and E-AC3: fscod, and fscod2 when fscod is 3
        if (p[i] == 0x0b && p[i + 1] == 0x77) {
          static const int kRates[] = {48000, 44100, 32000}, kHalf[] = {24000, 22050, 16000};
          const int fscod = p[i + 4] >> 6;
          if (fscod < 3) return kRates[fscod];
          const int fscod2 = (p[i + 4] >> 4) & 3;
          return fscod2 < 3 ? kHalf[fscod2] : 0;
        }
        break;
      case 0x82:
      case 0x85:
      case 0x86:
      case 0xa2:  // DTS core: SFREQ, 66 bits after the start of the sync word
        if (i + 9 <= n && p[i] == 0x7f && p[i + 1] == 0xfe && p[i + 2] == 0x80 &&
            p[i + 3] == 0x01) {
          static const int kRates[16] = {0,     8000, 16000, 32000, 0,     0,     11025, 22050,
                                         44100, 0,    0,     12000, 24000, 48000, 0,     0};
          return kRates[(p[i + 8] >> 2) & 0x0f];
        }
        break;
      case 0x80:  // LPCM: a 4-byte header before the samples
        return (p[2] & 0x0f) == 1   ? 48000
               : (p[2] & 0x0f) == 4 ? 96000
               : (p[2] & 0x0f) == 5 ? 192000
                                    : 0;
      case 0x03:
      case 0x04:  // MPEG audio
        if (p[i] == 0xff && (p[i + 1] & 0xe0) == 0xe0) {
          static const int kRates[] = {44100, 48000, 32000, 0};
          const int version = (p[i + 1] >> 3) & 3, index = (p[i + 2] >> 2) & 3;
          const int divisor = version == 3 ? 1 : version == 2 ? 2 : version == 0 ? 4 : 0;
          return divisor ? kRates[index] / divisor : 0;
        }
        break;
      default:
        return 0;
    }
  }
  return 0;
}

// Follows the start codes of one video PES up to its first slice or picture, across packets,
// without copying (but the first SPS, which is parsed for the picture size).
class PictureScan {
 public:
  explicit PictureScan(uint8_t type) : type_(type) {}

  void Start(PictureStart start) {
    picture_ = start;
    open_ = true;
    done_ = sps_ = pps_ = sequence_ = idr_ = false;
    zeros_ = need_ = got_ = 0;
  }
  bool Open() const { return open_; }
  bool Done() const { return done_; }
  bool Idr() const { return idr_; }
  // The picture as seen so far; closes it.
  PictureStart Close() {
    open_ = false;
    picture_.parameterSets = type_ == 0x1b ? sps_ && pps_ : sequence_;
    return picture_;
  }

  void Feed(const uint8_t* p, size_t n, StreamFacts* facts) {
    for (size_t i = 0; i < n && !done_; ++i) {
      const uint8_t b = p[i];
      if (need_ > 0) {
        head_[got_++] = b;
        if (got_ == need_) {
          need_ = 0;
          OnUnit(facts);
        }
        continue;
      }
      if (spsOpen_) sps_bytes_.push_back(b);
      if (b == 0) {
        ++zeros_;
        continue;
      }
      if (b == 1 && zeros_ >= 2) {
        if (spsOpen_) FinishSps(facts, zeros_ + 1);
        need_ = type_ == 0x1b ? 1 : 5;
        got_ = 0;
      }
      zeros_ = 0;
    }
  }

 private:
  void OnUnit(StreamFacts* facts) {
    const uint8_t code = head_[0];
    if (type_ == 0x1b) {
      const int nal = code & 0x1f;
      if (nal == 7) {
        sps_ = true;
        if (facts->width == 0 && !spsParsed_) {
          spsOpen_ = true;
          sps_bytes_.assign(1, code);
        }
      }
      if (nal == 8) pps_ = true;
      if (nal == 5) picture_.key = idr_ = true;
      done_ = nal == 1 || nal == 5;
    } else if (type_ == 0x01 || type_ == 0x02) {
      if (code == 0xb3) {
        sequence_ = true;
        facts->width = (head_[1] << 4) | (head_[2] >> 4);
        facts->height = ((head_[2] & 0x0f) << 8) | head_[3];
      }
      if (code == 0x00) {
        picture_.key = picture_.key || ((head_[2] >> 3) & 7) == 1;
        done_ = true;
      }
    } else if (type_ == 0xea) {
      if (code == 0x0f) sequence_ = picture_.key = true;
      done_ = code == 0x0d;
    } else {
      done_ = true;
    }
  }

  void FinishSps(StreamFacts* facts, size_t startCode) {
    spsOpen_ = false;
    spsParsed_ = true;
    sps_bytes_.resize(sps_bytes_.size() > startCode ? sps_bytes_.size() - startCode : 0);
    if (auto sps = ParseSps(sps_bytes_)) {
      facts->width = sps->width;
      facts->height = sps->height;
      facts->interlaced = !sps->frameMbsOnly;
    }
  }

  uint8_t type_;
  PictureStart picture_;
  bool open_ = false, done_ = false, sps_ = false, pps_ = false, sequence_ = false, idr_ = false;
  bool spsOpen_ = false, spsParsed_ = false;
  std::vector<uint8_t> sps_bytes_;
  int zeros_ = 0, need_ = 0, got_ = 0;
  std::array<uint8_t, 5> head_{};
};

class Pass {
 public:
  Pass(StreamUse use, const StrictOptions& options, TransportFacts* facts, RuleLog* log)
      : use_(use), options_(options), facts_(facts), log_(log) {
    counters_.fill(-1);
    index_.fill(-1);
  }

  void Packet(const uint8_t* p) {
    const uint32_t spn = facts_->packets++;
    if (facts_->packetSize == 192) Arrival(p, spn);
    const uint8_t* ts = p + facts_->packetSize - 188;
    if (ts[0] != 0x47) {
      if (!log_->Again("packet-sync"))
        log_->Break("packet-sync", Format("packet %u does not start with the sync byte", spn));
      return;
    }
    const uint16_t pid = uint16_t(((ts[1] & 0x1f) << 8) | ts[2]);
    const bool unitStart = (ts[1] & 0x40) != 0;
    const int control = (ts[3] >> 4) & 3;
    size_t offset = 4;
    bool discontinuity = false, randomAccess = false;
    if (control & 2) {
      const size_t length = ts[4];
      if (length > 0) {
        discontinuity = (ts[5] & 0x80) != 0;
        randomAccess = (ts[5] & 0x40) != 0;
        if ((ts[5] & 0x10) && length >= 7) Pcr(ts + 6, pid, spn, discontinuity);
      }
      offset = 5 + length;
    }
    if (!(control & 1) || offset >= 188 || pid == kNullPid) return;
    Continuity(pid, ts[3] & 0x0f, discontinuity, spn);
    const uint8_t* payload = ts + offset;
    const size_t size = 188 - offset;
    if (pid == 0 && unitStart) Table(payload, size, &patClock_, "PAT", spn, true);
    if (facts_->pmtPid && pid == facts_->pmtPid && unitStart)
      Table(payload, size, &pmtClock_, "PMT", spn, false);
    const int stream = index_[pid];
    if (stream < 0) return;
    if (pid == facts_->videoPid) {
      Video(payload, size, unitStart, randomAccess, spn);
      return;
    }
    StreamFacts& facts = facts_->streams[size_t(stream)];
    if (unitStart && !IsVideoType(facts.type)) PesLength(pid, payload, size, spn);
    if (unitStart && facts.sampleRate == 0) Audio(facts, payload, size);
  }

  void Finish(uint64_t bytes) {
    if (scan_ && scan_->Open()) ClosePicture();
    if (bytes % uint64_t(facts_->packetSize))
      log_->Break("packet-sync", Format("the file ends in a partial packet of %u bytes",
                                        unsigned(bytes % uint64_t(facts_->packetSize))));
    if (use_ == StreamUse::kBluRayClip && facts_->packetSize != 192)
      log_->Break("aligned-units", "a Blu-ray clip is made of 192-byte packets, not 188-byte ones");
    else if (use_ == StreamUse::kBluRayClip && bytes % kAlignedUnit)
      log_->Break("aligned-units",
                  Format("%llu bytes are %llu bytes more than a whole number of 6144-byte units",
                         (unsigned long long)bytes, (unsigned long long)(bytes % kAlignedUnit)));
    if (int n = log_->Count("parameter-sets"))
      log_->Retell("parameter-sets",
                   Format("%d of %d IDR pictures start without SPS and PPS before their first "
                          "slice (the first at %.2f s)",
                          n, keyPictures_, firstBadKey_));
    Rates();
    for (const StreamFacts& s : facts_->streams)
      if (use_ == StreamUse::kBluRayClip && IsAudioType(s.type) && s.sampleRate &&
          s.sampleRate != 48000)
        log_->Break("sample-rate",
                    Format("audio %s runs at %d Hz, not 48 kHz", Pid(s.pid).c_str(), s.sampleRate));
  }

 private:
  void Arrival(const uint8_t* p, uint32_t spn) {
    const uint32_t ats = ((p[0] & 0x3fu) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    if (spn > 0) {
      const uint32_t gap = (ats - lastArrival_) & kArrivalMask;
      if (gap == 0 || gap >= kArrivalMask / 2) {
        if (!log_->Again("arrival-order"))
          log_->Break("arrival-order", Format("the arrival stamp of packet %u (%u) does not rise "
                                              "past that of the one before (%u)",
                                              spn, ats, lastArrival_));
      } else {
        arrivalClock_ += gap;
        if (facts_->smallestArrivalGap == 0 || gap < facts_->smallestArrivalGap)
          facts_->smallestArrivalGap = gap;
      }
    }
    lastArrival_ = ats;
  }

  void Pcr(const uint8_t* f, uint16_t pid, uint32_t spn, bool discontinuity) {
    if (pid != facts_->pcrPid) return;
    const uint64_t base =
        (uint64_t(f[0]) << 25) | (f[1] << 17) | (f[2] << 9) | (f[3] << 1) | (f[4] >> 7);
    const uint64_t pcr = base * 300 + (((f[4] & 1) << 8) | f[5]);
    if (hasPcr_ && !discontinuity) {
      const uint64_t gap = (pcr + kPcrWrap - lastPcr_) % kPcrWrap;
      if (gap > kMaxPcrGap && !log_->Again("pcr-gap"))
        log_->Break("pcr-gap", Format("the clock reference on %s is %.1f ms apart at packet %u",
                                      Pid(pid).c_str(), Ms(gap), spn));
      pcrClock_ += gap;
    }
    hasPcr_ = true;
    lastPcr_ = pcr;
  }

  void Continuity(uint16_t pid, int counter, bool discontinuity, uint32_t spn) {
    int8_t& last = counters_[pid];
    const bool repeat = counter == last && !repeated_[pid];
    if (last >= 0 && !discontinuity && counter != ((last + 1) & 0x0f) && !repeat &&
        !log_->Again("continuity"))
      log_->Break("continuity", Format("%s goes from continuity count %d to %d at packet %u",
                                       Pid(pid).c_str(), last, counter, spn));
    repeated_[pid] = repeat;
    last = int8_t(counter);
  }

  // PAT and PMT: how far apart they come, and what they say the first time.
  void Table(const uint8_t* p, size_t size, std::optional<uint64_t>* last, const char* name,
             uint32_t spn, bool pat) {
    const bool clocked = facts_->packetSize == 192 || hasPcr_;
    const uint64_t now = facts_->packetSize == 192 ? arrivalClock_ : pcrClock_;
    if (clocked && *last && now - **last > kMaxPsiGap && !log_->Again("psi-gap"))
      log_->Break("psi-gap", Format("%.1f ms pass between two %ss (up to packet %u)",
                                    Ms(now - **last), name, spn));
    if (clocked) *last = now;
    if (pat ? facts_->pmtPid != 0 : !facts_->streams.empty()) return;
    const size_t start = 1 + size_t(p[0]);
    if (start + 12 > size) return;
    const uint8_t* s = p + start;
    const size_t length = size_t((s[1] & 0x0f) << 8) | s[2];
    if (start + 3 + length > size || length < 13) return;  // not whole in this packet
    const uint8_t* end = s + 3 + length - 4;
    if (pat) {
      for (const uint8_t* e = s + 8; e + 4 <= end; e += 4)
        if ((e[0] << 8 | e[1]) != 0) {
          facts_->pmtPid = uint16_t(((e[2] & 0x1f) << 8) | e[3]);
          break;
        }
      return;
    }
    facts_->pcrPid = uint16_t(((s[8] & 0x1f) << 8) | s[9]);
    const uint8_t* e = s + 12 + (size_t((s[10] & 0x0f) << 8) | s[11]);
    while (e + 5 <= end) {
      StreamFacts stream;
      stream.type = e[0];
      stream.pid = uint16_t(((e[1] & 0x1f) << 8) | e[2]);
      const uint8_t* d = e + 5;
      e = d + (size_t((e[3] & 0x0f) << 8) | e[4]);
      for (; d + 2 <= e && d + 2 + d[1] <= e; d += 2 + d[1])
        if (d[0] == 0x0a && d[1] >= 3)
          stream.language.assign(reinterpret_cast<const char*>(d + 2), 3);
      index_[stream.pid] = int16_t(facts_->streams.size());
      facts_->streams.push_back(stream);
      if (IsVideoType(stream.type) && facts_->videoPid == 0) {
        facts_->videoPid = stream.pid;
        scan_ = std::make_unique<PictureScan>(stream.type);
      }
    }
    Languages();
  }

  void Languages() {
    for (const StreamFacts& s : facts_->streams) {
      if (!IsAudioType(s.type) && !IsSubtitleType(s.type)) continue;
      const auto& exempt = options_.pidsWithoutLanguage;
      if (std::find(exempt.begin(), exempt.end(), s.pid) != exempt.end()) continue;
      if (s.language.empty())
        log_->Break("language",
                    Format("the PMT names no language for %s %s",
                           IsAudioType(s.type) ? "audio" : "subtitle", Pid(s.pid).c_str()));
      else if (s.language == "und")
        log_->Break("language",
                    Format("the PMT names the language of %s as \"und\"", Pid(s.pid).c_str()));
    }
  }

  void Video(const uint8_t* p, size_t size, bool unitStart, bool randomAccess, uint32_t spn) {
    StreamFacts& facts = facts_->streams[size_t(index_[facts_->videoPid])];
    if (unitStart) {
      if (scan_->Open()) ClosePicture();
      if (size < 14 || p[0] != 0 || p[1] != 0 || p[2] != 1) return;
      const size_t header = 9 + size_t(p[8]);
      PictureStart start;
      start.spn = spn;
      start.key = randomAccess;
      if (p[7] & 0x80) start.pts = ReadPts(p + 9);
      lowPts_ = pictureCount_ ? std::min(lowPts_, start.pts) : start.pts;
      highPts_ = pictureCount_++ ? std::max(highPts_, start.pts) : start.pts;
      if (!firstPts_) firstPts_ = start.pts;
      scan_->Start(start);
      if (header < size) scan_->Feed(p + header, size - header, &facts);
    } else if (scan_->Open() && !scan_->Done()) {
      scan_->Feed(p, size, &facts);
    }
  }

  void ClosePicture() {
    const PictureStart picture = scan_->Close();
    if (!picture.key) return;
    facts_->pictures.push_back(picture);
    // Here only H.264 IDR pictures; every entry point of a clip is checked with its EP map.
    if (!scan_->Idr()) return;
    ++keyPictures_;
    if (picture.parameterSets) return;
    if (!log_->Count("parameter-sets")) firstBadKey_ = double(picture.pts - *firstPts_) / 90000;
    log_->Break("parameter-sets", "");
  }

  // A PES of unbounded length (0) is allowed for video only: a decoder of audio or
  // graphics waits for the length to know where the packet ends.
  void PesLength(uint16_t pid, const uint8_t* p, size_t size, uint32_t spn) {
    if (size < 6 || p[0] != 0 || p[1] != 0 || p[2] != 1 || p[4] != 0 || p[5] != 0) return;
    if (!log_->Again("pes-length"))
      log_->Break("pes-length",
                  Format("a PES on %s gives no length at packet %u", Pid(pid).c_str(), spn));
  }

  void Audio(StreamFacts& s, const uint8_t* p, size_t size) {
    if (size < 14 || p[0] != 0 || p[1] != 0 || p[2] != 1) return;
    const size_t header = 9 + size_t(p[8]);
    if (header < size) s.sampleRate = SampleRateOf(s.type, p + header, size - header);
  }

  // The video's frame rate: pictures over the span of their time stamps (a Matroska source
  // rounds each to the millisecond).
  void Rates() {
    if (!facts_->videoPid || pictureCount_ < 2 || highPts_ <= lowPts_) return;
    facts_->streams[size_t(index_[facts_->videoPid])].framesPerSecond =
        90000.0 * double(pictureCount_ - 1) / double(highPts_ - lowPts_);
  }

  StreamUse use_;
  const StrictOptions& options_;
  TransportFacts* facts_;
  RuleLog* log_;
  std::array<int8_t, 8192> counters_;
  std::array<bool, 8192> repeated_{};
  std::array<int16_t, 8192> index_;
  uint32_t lastArrival_ = 0;
  uint64_t arrivalClock_ = 0, pcrClock_ = 0, lastPcr_ = 0;
  bool hasPcr_ = false;
  std::optional<uint64_t> patClock_, pmtClock_, firstPts_;
  std::unique_ptr<PictureScan> scan_;
  uint64_t lowPts_ = 0, highPts_ = 0, pictureCount_ = 0;
  int keyPictures_ = 0;
  double firstBadKey_ = 0;
};

int PacketSizeOf(const uint8_t* p, size_t n) {
  for (int size : {192, 188}) {
    const size_t sync = size == 192 ? 4 : 0;
    bool ok = n >= sync + 1;
    for (size_t at = sync; at < n && at < sync + 3 * size_t(size); at += size_t(size))
      ok = ok && p[at] == 0x47;
    if (ok) return size;
  }
  return 0;
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool IsVideoType(uint8_t type) {
  return type == 0x01 || type == 0x02 || type == 0x1b || type == 0xea || type == 0x20 ||
         type == 0x24;
}
bool IsAudioType(uint8_t type) {
  return type == 0x03 || type == 0x04 || type == 0x0f || type == 0x11 ||
         (type >= 0x80 && type <= 0x86) || type == 0xa1 || type == 0xa2;
}
bool IsSubtitleType(uint8_t type) {
  return type == 0x90 || type == 0x92;
}

StrictResult CheckTransportStreamFile(const std::string& path, StreamUse use,
                                      const StrictOptions& options, TransportFacts* facts) {
  StrictResult result;
  *facts = TransportFacts();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!in) {
    result.problem = "cannot read " + path;
    return result;
  }
  std::setvbuf(in.get(), nullptr, _IONBF, 0);
  std::vector<uint8_t> buffer(kChunk);
  size_t got = std::fread(buffer.data(), 1, buffer.size(), in.get());
  facts->packetSize = PacketSizeOf(buffer.data(), got);
  if (facts->packetSize == 0) {
    result.problem = NameOf(path) + " is no transport stream (no sync byte every 188 or 192 bytes)";
    return result;
  }
  result.readable = true;
  RuleLog log(NameOf(path));
  Pass pass(use, options, facts, &log);
  uint64_t bytes = 0;
  const size_t packet = size_t(facts->packetSize);
  while (got > 0) {
    bytes += got;
    for (size_t at = 0; at + packet <= got; at += packet) pass.Packet(buffer.data() + at);
    got = std::fread(buffer.data(), 1, buffer.size(), in.get());
  }
  pass.Finish(bytes);
  log.MoveTo(&result.broken);
  return result;
}

StrictResult CheckTransportStreamFile(const std::string& path, StreamUse use,
                                      const StrictOptions& options) {
  TransportFacts facts;
  return CheckTransportStreamFile(path, use, options, &facts);
}

}  // namespace quillet::toolkit::bluray
