#include "toolkit/M2tsPackets.h"

#include <algorithm>
#include <cstring>

#include "base/Text.h"
#include "toolkit/PmtLanguages.h"

namespace quillet::toolkit::m2ts {
namespace {

bool HasAdaptationField(const uint8_t* ts) {
  return (ts[3] & 0x20) != 0 && ts[4] > 0;
}

// The start of the section that begins in this packet (after the pointer field).
const uint8_t* SectionOf(const uint8_t* ts) {
  if (!StartsPayload(ts) || !(ts[3] & 0x10)) return nullptr;
  size_t offset = 4 + ((ts[3] & 0x20) ? 1 + ts[4] : 0);
  if (offset >= kTsPacket) return nullptr;
  offset += 1 + ts[offset];
  return offset + 3 <= kTsPacket ? ts + offset : nullptr;
}

size_t SectionLength(const uint8_t* section) {
  return ((section[1] & 0x0F) << 8) | section[2];
}

// A whole section of the given table inside the packet.
const uint8_t* WholeSection(const uint8_t* ts, uint8_t tableId) {
  const uint8_t* s = SectionOf(ts);
  if (!s || s[0] != tableId) return nullptr;
  size_t length = SectionLength(s);
  if (length < 13 || s + 3 + length > ts + kTsPacket) return nullptr;
  return s;
}

void WritePcr(uint8_t* at, uint64_t pcr) {
  uint64_t base = (pcr / 300) & ((1ULL << 33) - 1);
  unsigned ext = static_cast<unsigned>(pcr % 300);
  at[0] = static_cast<uint8_t>(base >> 25);
  at[1] = static_cast<uint8_t>(base >> 17);
  at[2] = static_cast<uint8_t>(base >> 9);
  at[3] = static_cast<uint8_t>(base >> 1);
  at[4] = static_cast<uint8_t>(((base & 1) << 7) | 0x7E | (ext >> 8));
  at[5] = static_cast<uint8_t>(ext);
}

}  // namespace

uint32_t MpegCrc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= static_cast<uint32_t>(data[i]) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000) ? (crc << 1) ^ 0x04C11DB7 : crc << 1;
  }
  return crc;
}

uint16_t PidOf(const uint8_t* ts) {
  return static_cast<uint16_t>(((ts[1] & 0x1F) << 8) | ts[2]);
}

bool StartsPayload(const uint8_t* ts) {
  return (ts[1] & 0x40) != 0;
}

bool IsRandomAccess(const uint8_t* ts) {
  return HasAdaptationField(ts) && (ts[5] & 0x40) != 0;
}

std::optional<uint64_t> PcrOf(const uint8_t* ts) {
  if (!HasAdaptationField(ts) || ts[4] < 7 || !(ts[5] & 0x10)) return std::nullopt;
  const uint8_t* p = ts + 6;
  uint64_t base =
      (static_cast<uint64_t>(p[0]) << 25) | (p[1] << 17) | (p[2] << 9) | (p[3] << 1) | (p[4] >> 7);
  return base * 300 + (((p[4] & 1) << 8) | p[5]);
}

void RemovePcr(uint8_t* ts) {
  if (!PcrOf(ts)) return;
  size_t end = 5 + ts[4];  // one past the adaptation field
  std::memmove(ts + 6, ts + 12, end - 12);
  std::memset(ts + end - 6, 0xFF, 6);
  ts[5] &= static_cast<uint8_t>(~0x10);
}

void WritePcrPacket(uint8_t* ts, uint16_t pid, uint64_t pcr) {
  std::memset(ts, 0xFF, kTsPacket);
  ts[0] = 0x47;
  ts[1] = static_cast<uint8_t>((pid >> 8) & 0x1F);
  ts[2] = static_cast<uint8_t>(pid);
  ts[3] = 0x20;  // adaptation field only; the continuity counter does not count these
  ts[4] = static_cast<uint8_t>(kTsPacket - 5);
  ts[5] = 0x10;
  WritePcr(ts + 6, pcr);
}

void WriteNullPacket(uint8_t* ts) {
  std::memset(ts, 0xFF, kTsPacket);
  ts[0] = 0x47;
  ts[1] = 0x1F;
  ts[3] = 0x10;
}

std::optional<uint16_t> PmtPidOf(const uint8_t* ts) {
  const uint8_t* s = WholeSection(ts, 0x00);
  if (!s) return std::nullopt;
  const uint8_t* end = s + 3 + SectionLength(s) - 4;
  for (const uint8_t* p = s + 8; p + 4 <= end; p += 4)
    if ((p[0] << 8 | p[1]) != 0) return static_cast<uint16_t>(((p[2] & 0x1F) << 8) | p[3]);
  return std::nullopt;
}

std::optional<uint16_t> PcrPidOfPmt(const uint8_t* ts) {
  const uint8_t* s = WholeSection(ts, 0x02);
  if (!s) return std::nullopt;
  return static_cast<uint16_t>(((s[8] & 0x1F) << 8) | s[9]);
}

bool SetPmtPcrPid(uint8_t* ts, uint16_t pid) {
  auto* s = const_cast<uint8_t*>(WholeSection(ts, 0x02));
  if (!s) return false;
  s[8] = static_cast<uint8_t>(0xE0 | ((pid >> 8) & 0x1F));
  s[9] = static_cast<uint8_t>(pid);
  size_t crcAt = 3 + SectionLength(s) - 4;
  uint32_t crc = MpegCrc32(s, crcAt);
  for (int i = 0; i < 4; ++i) s[crcAt + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return true;
}

uint32_t ArrivalTimeOf(const uint8_t* packet) {
  return ((packet[0] & 0x3Fu) << 24) | (packet[1] << 16) | (packet[2] << 8) | packet[3];
}

void SetArrivalTime(uint8_t* packet, uint64_t clock) {
  auto ats = static_cast<uint32_t>(clock & 0x3FFFFFFF);  // copy permission bits stay 0
  for (int i = 0; i < 4; ++i) packet[i] = static_cast<uint8_t>(ats >> (24 - 8 * i));
}

bool MemoryParts::Write(const uint8_t* data, size_t size) {
  parts.back().insert(parts.back().end(), data, data + size);
  return true;
}

bool MemoryParts::Cut(uint64_t keep, const std::vector<uint8_t>& tail,
                      const std::vector<uint8_t>& head) {
  std::vector<uint8_t>& last = parts.back();
  std::vector<uint8_t> next = head;
  next.insert(next.end(), last.begin() + static_cast<long>(keep), last.end());
  last.resize(keep);
  last.insert(last.end(), tail.begin(), tail.end());
  parts.push_back(std::move(next));
  return true;
}

M2tsRewriter::M2tsRewriter(const RewriteOptions& options, PartSink& sink)
    : options_(options), sink_(sink) {}

bool M2tsRewriter::Fail(const std::string& why) {
  if (error_.empty()) error_ = why;
  return false;
}

bool M2tsRewriter::Feed(const uint8_t* data, size_t size) {
  if (!error_.empty()) return false;
  if (!carry_.empty()) {
    size_t take = std::min(size, kPacket - carry_.size());
    carry_.insert(carry_.end(), data, data + take);
    data += take;
    size -= take;
    if (carry_.size() < kPacket) return true;
    if (!Process(carry_.data())) return false;
    carry_.clear();
  }
  uint8_t packet[kPacket];
  for (; size >= kPacket; data += kPacket, size -= kPacket) {
    std::memcpy(packet, data, kPacket);
    if (!Process(packet)) return false;
  }
  carry_.assign(data, data + size);
  return true;
}

bool M2tsRewriter::Process(uint8_t* packet) {
  uint8_t* ts = packet + 4;
  if (ts[0] != 0x47) return Fail("the muxer's output lost its packet sync");
  uint16_t pid = PidOf(ts);
  if (pid == 0x0011) return true;  // DVB service description
  if (pid == 0x0000 && StartsPayload(ts)) {
    pmtPid_ = PmtPidOf(ts);
    pat_.assign(packet, packet + kPacket);
  } else if (pmtPid_ && pid == *pmtPid_ && StartsPayload(ts)) {
    if (!SetPmtPcrPid(ts, options_.pcrPid)) return Fail("the PMT does not fit one packet");
    if (!options_.languages.empty() && !AddPmtLanguages(ts, options_.languages))
      return Fail("the PMT does not fit one packet");
    pmt_.assign(packet, packet + kPacket);
  }
  bool key = pid == options_.videoPid && StartsPayload(ts) && IsRandomAccess(ts);
  if (auto pcr = PcrOf(ts)) {
    RemovePcr(ts);
    if (!AnchorPcr(*pcr, key)) return false;
    key = false;  // the part starts with the clock packet in front of the picture
  }
  Pending p;
  std::memcpy(p.bytes.data(), packet, kPacket);
  p.cutBefore = key;
  pending_.push_back(p);
  return true;
}

bool M2tsRewriter::AnchorPcr(uint64_t pcr, bool keyFrame) {
  if (!Flush(pcr)) return false;
  Pending p;
  WritePcrPacket(p.bytes.data() + 4, options_.pcrPid, pcr);
  p.cutBefore = keyFrame;
  p.isPcr = true;
  pending_.push_back(p);
  lastPcr_ = pcr;
  return true;
}

// The packets before the first PCR, at the pace of the stretch after it.
bool M2tsRewriter::PutLead(double step) {
  for (size_t j = 0; j < lead_.size(); ++j) {
    const auto back = static_cast<uint64_t>(static_cast<double>(lead_.size() - j) * step);
    if (!Put(lead_[j], *lastPcr_ > back ? *lastPcr_ - back : 0)) return false;
  }
  lead_.clear();
  return true;
}

// Gives the packets since the last PCR their arrival times, spread evenly up to the next
// PCR, and adds clock packets where the two are further apart than allowed.
bool M2tsRewriter::Flush(std::optional<uint64_t> nextPcr) {
  const uint64_t k = pending_.size();
  if (k == 0) return true;
  if (!lastPcr_) {
    if (!nextPcr) return Fail("the stream carries no program clock reference");
    lead_ = std::move(pending_);
    pending_.clear();
    return true;
  }
  if (nextPcr) {
    // The k packets and `extra` clock packets share the stretch evenly, each in a slot of
    // its own; the clock packets take the slots nearest to equal shares of the stretch,
    // which puts them at most gap / (extra + 1) + gap / slots (+ rounding) apart.
    const uint64_t last = *lastPcr_;
    const uint64_t gap = *nextPcr > last ? *nextPcr - last : 0;
    const uint64_t most = options_.maxPcrGap;
    uint64_t extra = gap > most ? (gap - 1) / most : 0;
    while (extra > 0 && gap / (extra + 1) + gap / (k + extra) + 1 > most) ++extra;
    const uint64_t slots = k + extra;
    lastStep_ = static_cast<double>(gap) / slots;
    if (!PutLead(lastStep_)) return false;
    uint64_t j = 0, s = 1;
    for (uint64_t slot = 0; slot < slots; ++slot) {
      const uint64_t clock = last + gap * slot / slots;
      const bool pcrSlot = s <= extra && slot == s * slots / (extra + 1);
      if (pcrSlot ? !PutPcr(clock) : !Put(pending_[j++], clock)) return false;
      s += pcrSlot;
    }
  } else {
    const double nominal = kClock * 8.0 * kPacket / 48e6;  // a packet at 48 Mbit/s
    const double step = lastStep_ > 0 ? lastStep_ : nominal;
    if (!PutLead(step)) return false;
    for (uint64_t j = 0; j < k; ++j)
      if (!Put(pending_[j], *lastPcr_ + static_cast<uint64_t>(j * step))) return false;
  }
  pending_.clear();
  return true;
}

bool M2tsRewriter::PutPcr(uint64_t pcr) {
  Pending p;
  WritePcrPacket(p.bytes.data() + 4, options_.pcrPid, pcr);
  p.isPcr = true;
  return Put(p, pcr);
}

std::vector<uint8_t> M2tsRewriter::Padding(uint64_t bytes, uint64_t from, uint64_t step) {
  std::vector<uint8_t> padding((kAlignedUnit - bytes % kAlignedUnit) % kAlignedUnit);
  for (size_t at = 0; at < padding.size(); at += kPacket) {
    from += step;
    SetArrivalTime(padding.data() + at, from);
    WriteNullPacket(padding.data() + at + 4);
  }
  return padding;
}

bool M2tsRewriter::Put(Pending& packet, uint64_t clock) {
  // No two packets arrive at the same time (a clock packet then keeps its stamp as its PCR).
  if (lastClock_ && clock <= *lastClock_) {
    clock = *lastClock_ + 1;
    if (packet.isPcr) WritePcrPacket(packet.bytes.data() + 4, options_.pcrPid, clock);
  }
  if (!RepeatTables(clock)) return false;
  SetArrivalTime(packet.bytes.data(), clock);
  CountTable(packet.bytes.data(), clock);
  const uint64_t limit = static_cast<uint64_t>(options_.splitBytes) / kAlignedUnit * kAlignedUnit;
  if (options_.splitBytes > 0) {
    const uint64_t headSize = pat_.size() + pmt_.size();
    if (packet.cutBefore && partBytes_ > headSize) {
      cutAt_ = partBytes_;
      cutClock_ = clock;
      cutPat_ = putPat_;
      cutPmt_ = putPmt_;
      cutPrevClock_ = lastClock_.value_or(clock);
    }
    if (partBytes_ + kPacket > limit) {
      if (headSize + 2 * kPacket > limit)
        return Fail(
            Format("split size %llu is too small", (unsigned long long)options_.splitBytes));
      const uint64_t keep = cutAt_ > 0 ? cutAt_ : partBytes_;
      // The kept part ends with padding, the next starts with the tables, both spaced as
      // the packets either side of the cut.
      const uint64_t next = cutAt_ > 0 ? cutClock_ : clock;
      const uint64_t before = cutAt_ > 0 ? cutPrevClock_ : lastClock_.value_or(clock);
      const uint64_t step = next > before ? next - before : 1;
      std::vector<uint8_t> head = cutAt_ > 0 ? cutPat_ : putPat_;
      std::vector<uint8_t> pmt = cutAt_ > 0 ? cutPmt_ : putPmt_;
      if (head.empty() || pmt.empty()) {  // no tables written yet: those read so far
        head = pat_;
        pmt = pmt_;
      }
      head.insert(head.end(), pmt.begin(), pmt.end());
      const uint64_t headPackets = head.size() / kPacket;
      for (size_t at = 0; at < head.size(); at += kPacket)
        SetArrivalTime(head.data() + at, next - step * (headPackets - at / kPacket));
      if (!sink_.Cut(keep, Padding(keep, before, step), head))
        return Fail("cannot start the next part");
      partBytes_ = head.size() + (partBytes_ - keep);
      cutAt_ = 0;
      ++parts_;
    }
  }
  if (lastClock_) lastGap_ = clock - *lastClock_;
  lastClock_ = clock;
  return Write(packet.bytes.data());
}

// Gives a PAT or PMT packet the next continuity count of its PID and keeps it for repeats
// and for the head of the next part.
void M2tsRewriter::CountTable(uint8_t* packet, uint64_t clock) {
  uint8_t* ts = packet + 4;
  if (!StartsPayload(ts)) return;
  const uint16_t pid = PidOf(ts);
  std::vector<uint8_t>* kept = nullptr;
  uint8_t* count = nullptr;
  if (pid == 0x0000) {
    kept = &putPat_;
    count = &patCount_;
    lastTables_ = clock;
  } else if (pmtPid_ && pid == *pmtPid_) {
    kept = &putPmt_;
    count = &pmtCount_;
  } else {
    return;
  }
  *count = static_cast<uint8_t>((*count + 1) & 0x0F);
  ts[3] = static_cast<uint8_t>((ts[3] & 0xF0) | *count);
  kept->assign(packet, packet + kPacket);
}

// Sends the latest PAT and PMT again, between the last packet and the one due at `clock`,
// when the last PAT is 75 ms old: packets are at most 40 ms apart (the clock references
// are), so no two PATs are then more than 75 + 40 / 3 ms apart.
bool M2tsRewriter::RepeatTables(uint64_t clock) {
  constexpr uint64_t kRepeatAfter = kClock * 3 / 40;
  if (repeating_ || !lastTables_ || !lastClock_ || putPat_.empty() || putPmt_.empty() ||
      clock < *lastTables_ + kRepeatAfter || clock < *lastClock_ + 3)
    return true;
  repeating_ = true;
  const uint64_t last = *lastClock_, gap = clock - last;
  Pending pat, pmt;
  std::copy(putPat_.begin(), putPat_.end(), pat.bytes.begin());
  std::copy(putPmt_.begin(), putPmt_.end(), pmt.bytes.begin());
  const bool ok = Put(pat, last + gap / 3) && Put(pmt, last + 2 * gap / 3);
  repeating_ = false;
  return ok;
}

bool M2tsRewriter::Write(const uint8_t* packet) {
  if (!sink_.Write(packet, kPacket)) return Fail("cannot write the stream");
  partBytes_ += kPacket;
  return true;
}

bool M2tsRewriter::Finish() {
  if (!error_.empty()) return false;
  if (!carry_.empty()) return Fail("the muxer's output ends inside a packet");
  if (!Flush(std::nullopt)) return false;
  const std::vector<uint8_t> padding =
      Padding(partBytes_, lastClock_.value_or(0), lastGap_ > 0 ? lastGap_ : 1);
  if (!sink_.Write(padding.data(), padding.size())) return Fail("cannot write the stream");
  partBytes_ += padding.size();
  return true;
}

}  // namespace quillet::toolkit::m2ts
