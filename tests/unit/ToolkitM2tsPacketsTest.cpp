// The pass over the muxer's transport stream on a small stream made here: the clock
// moves to its own PID (PMT rewritten, CRC right), arrival times follow the clock, and
// parts start at key frames with the PAT and PMT.

#include <gtest/gtest.h>

#include <cstring>

#include "toolkit/M2tsPackets.h"

namespace quillet::toolkit::m2ts {
namespace {

using Packet = std::vector<uint8_t>;  // 192 bytes
constexpr uint16_t kPmtPid = 0x0100;
constexpr uint16_t kAudioPid = 0x1100;
constexpr uint64_t kFrame = kClock / 25;

Packet Empty(uint16_t pid, bool start, uint8_t counter) {
  Packet p(kPacket, 0xFF);
  p[0] = 0x3F;  // an arrival time that the pass must replace
  p[4] = 0x47;
  p[5] = static_cast<uint8_t>((start ? 0x40 : 0) | (pid >> 8));
  p[6] = static_cast<uint8_t>(pid);
  p[7] = static_cast<uint8_t>(0x10 | (counter & 0x0F));
  return p;
}

// A section after a zero pointer field, its CRC appended.
Packet Section(uint16_t pid, std::vector<uint8_t> section) {
  Packet p = Empty(pid, true, 0);
  size_t length = section.size() + 4 - 3;
  section[1] = static_cast<uint8_t>(0xB0 | (length >> 8));
  section[2] = static_cast<uint8_t>(length);
  uint32_t crc = MpegCrc32(section.data(), section.size());
  for (int i = 0; i < 4; ++i) section.push_back(static_cast<uint8_t>(crc >> (24 - 8 * i)));
  p[8] = 0;
  std::memcpy(p.data() + 9, section.data(), section.size());
  return p;
}

Packet Pat() {
  return Section(0, {0x00, 0, 0, 0x00, 0x01, 0xC1, 0, 0, 0x00, 0x01, 0xE1, 0x00});
}

Packet Pmt() {
  return Section(kPmtPid, {0x02, 0,    0,    0x00, 0x01, 0xC1, 0,    0,    0xF0, 0x11,
                           0xF0, 0x00,  // PCR 0x1011
                           0x1B, 0xF0, 0x11, 0xF0, 0x00, 0x81, 0xF1, 0x00, 0xF0, 0x00});
}

// A video packet of a frame: the first one of a frame starts a PES, carries the PCR when
// asked, and is flagged for random access on key frames. Payload bytes mark frame and
// packet so that they can be followed through the pass.
Packet Video(int frame, int index, bool key, std::optional<uint64_t> pcr) {
  Packet p = Empty(kVideoPid, index == 0, static_cast<uint8_t>(frame * 8 + index));
  if (index == 0 && (key || pcr)) {
    p[7] |= 0x20;
    p[8] = pcr ? 7 : 1;
    p[9] = static_cast<uint8_t>((key ? 0x40 : 0) | (pcr ? 0x10 : 0));
    if (pcr) {
      uint64_t base = *pcr / 300, ext = *pcr % 300;
      uint8_t* at = p.data() + 10;
      at[0] = static_cast<uint8_t>(base >> 25);
      at[1] = static_cast<uint8_t>(base >> 17);
      at[2] = static_cast<uint8_t>(base >> 9);
      at[3] = static_cast<uint8_t>(base >> 1);
      at[4] = static_cast<uint8_t>(((base & 1) << 7) | 0x7E | (ext >> 8));
      at[5] = static_cast<uint8_t>(ext);
    }
  }
  p[kPacket - 2] = static_cast<uint8_t>(frame);
  p[kPacket - 1] = static_cast<uint8_t>(index);
  return p;
}

// 25 fps, `perFrame` video packets a frame, a key frame every `gop` frames, the clock on
// every third frame (120 ms apart, more than players allow), audio and PAT/PMT between.
std::vector<uint8_t> Stream(int frames, int perFrame, int gop) {
  std::vector<uint8_t> out;
  auto add = [&](const Packet& p) { out.insert(out.end(), p.begin(), p.end()); };
  add(Empty(0x0011, true, 0));  // a service table, which Blu-ray streams do not have
  for (int f = 0; f < frames; ++f) {
    if (f % 10 == 0) {
      add(Pat());
      add(Pmt());
    }
    bool key = f % gop == 0;
    std::optional<uint64_t> pcr;
    if (f % 3 == 0) pcr = kClock * 7 / 10 + f * kFrame;
    for (int i = 0; i < perFrame; ++i) add(Video(f, i, key, i == 0 ? pcr : std::nullopt));
    Packet audio = Empty(kAudioPid, true, static_cast<uint8_t>(f));
    audio[kPacket - 1] = static_cast<uint8_t>(f);
    add(audio);
  }
  return out;
}

std::vector<Packet> Packets(const std::vector<uint8_t>& bytes) {
  std::vector<Packet> packets;
  for (size_t at = 0; at + kPacket <= bytes.size(); at += kPacket)
    packets.emplace_back(bytes.begin() + static_cast<long>(at),
                         bytes.begin() + static_cast<long>(at + kPacket));
  return packets;
}

MemoryParts Rewrite(const std::vector<uint8_t>& stream, long long splitBytes, size_t chunk) {
  MemoryParts parts;
  RewriteOptions options;
  options.splitBytes = splitBytes;
  M2tsRewriter rewriter(options, parts);
  for (size_t at = 0; at < stream.size(); at += chunk)
    EXPECT_TRUE(rewriter.Feed(stream.data() + at, std::min(chunk, stream.size() - at)))
        << rewriter.Error();
  EXPECT_TRUE(rewriter.Finish()) << rewriter.Error();
  EXPECT_EQ(static_cast<int>(parts.parts.size()), rewriter.Parts());
  return parts;
}

const uint8_t* Ts(const Packet& p) {
  return p.data() + 4;
}

TEST(ToolkitM2tsPackets, CrcClockAndTableFields) {
  const char* check = "123456789";
  EXPECT_EQ(0x0376E6E7u, MpegCrc32(reinterpret_cast<const uint8_t*>(check), 9));

  uint8_t ts[kTsPacket];
  WritePcrPacket(ts, kPcrPid, 123456789012ULL);
  EXPECT_EQ(kPcrPid, PidOf(ts));
  EXPECT_EQ(123456789012ULL, PcrOf(ts).value_or(0));
  EXPECT_EQ(0x20, ts[3] & 0x30);  // adaptation field only

  Packet video = Video(3, 0, true, 99 * 300 + 7);
  Packet before = video;
  uint8_t* v = video.data() + 4;
  RemovePcr(v);
  EXPECT_FALSE(PcrOf(v).has_value());
  EXPECT_TRUE(IsRandomAccess(v));
  EXPECT_EQ(before[8], video[8]);  // the adaptation field keeps its length ...
  EXPECT_TRUE(std::equal(video.begin() + 16, video.end(),
                         before.begin() + 16));  // ... and the payload stays

  Packet pmt = Pmt();
  EXPECT_EQ(kPmtPid, PmtPidOf(Ts(Pat())).value_or(0));
  EXPECT_EQ(kVideoPid, PcrPidOfPmt(Ts(pmt)).value_or(0));
  ASSERT_TRUE(SetPmtPcrPid(pmt.data() + 4, kPcrPid));
  EXPECT_EQ(kPcrPid, PcrPidOfPmt(Ts(pmt)).value_or(0));
  // The CRC over a section with its CRC is zero when the CRC is right.
  const uint8_t* section = Ts(pmt) + 5;
  size_t length = ((section[1] & 0x0F) << 8) | section[2];
  EXPECT_EQ(0u, MpegCrc32(section, 3 + length));
  EXPECT_FALSE(SetPmtPcrPid(Video(0, 1, false, std::nullopt).data() + 4, kPcrPid));
}

TEST(ToolkitM2tsPackets, TheClockGetsItsOwnPidAndArrivalTimesFollowIt) {
  const std::vector<uint8_t> stream = Stream(40, 3, 12);
  std::vector<Packet> out = Packets(Rewrite(stream, 0, 1000).parts.at(0));
  std::vector<Packet> in = Packets(stream);

  uint64_t lastArrival = 0, lastPcr = 0;
  int videoIn = 0, videoOut = 0, pcrs = 0;
  for (const Packet& p : in) videoIn += PidOf(Ts(p)) == kVideoPid;
  for (const Packet& p : out) {
    const uint8_t* ts = Ts(p);
    uint16_t pid = PidOf(ts);
    EXPECT_NE(0x0011, pid);
    uint32_t arrival = ArrivalTimeOf(p.data());
    EXPECT_GE(arrival, lastArrival);
    lastArrival = arrival;
    if (pid == kVideoPid) {
      ++videoOut;
      EXPECT_FALSE(PcrOf(ts).has_value());
    }
    if (pid == kPmtPid) EXPECT_EQ(kPcrPid, PcrPidOfPmt(ts).value_or(0));
    if (pid == kPcrPid) {
      uint64_t pcr = PcrOf(ts).value();
      EXPECT_EQ(pcr & 0x3FFFFFFF, arrival);
      if (pcrs++ > 0) EXPECT_LE(pcr - lastPcr, kClock / 25);
      lastPcr = pcr;
    }
  }
  EXPECT_EQ(videoIn, videoOut);
  // 40 frames, the clock every third one, 120 ms apart: two more between each pair.
  EXPECT_EQ(14 + 13 * 2, pcrs);
  EXPECT_EQ(kClock * 7 / 10 + 39 * kFrame, lastPcr);
}

TEST(ToolkitM2tsPackets, PartsStartAtKeyFramesWithTheTables) {
  const std::vector<uint8_t> stream = Stream(120, 4, 12);
  const std::vector<uint8_t> whole = Rewrite(stream, 0, 4096).parts.at(0);
  const long long limit = 80 * kPacket;
  MemoryParts split = Rewrite(stream, limit, 333);
  ASSERT_GE(split.parts.size(), 3u);

  std::vector<uint8_t> joined;
  for (size_t n = 0; n < split.parts.size(); ++n) {
    std::vector<Packet> part = Packets(split.parts[n]);
    EXPECT_LE(static_cast<long long>(split.parts[n].size()), limit) << n;
    size_t skip = 0;
    if (n > 0) {
      ASSERT_GE(part.size(), 4u);
      EXPECT_EQ(0, PidOf(Ts(part[0])));
      EXPECT_EQ(kPmtPid, PidOf(Ts(part[1])));
      EXPECT_EQ(kPcrPid, PidOf(Ts(part[2])));
      EXPECT_EQ(kVideoPid, PidOf(Ts(part[3])));
      EXPECT_TRUE(IsRandomAccess(Ts(part[3]))) << n;
      EXPECT_EQ(ArrivalTimeOf(part[2].data()), ArrivalTimeOf(part[0].data()));
      skip = 2;
    }
    for (size_t i = skip; i < part.size(); ++i)
      joined.insert(joined.end(), part[i].begin(), part[i].end());
  }
  EXPECT_EQ(whole, joined);  // nothing lost, nothing doubled
}

TEST(ToolkitM2tsPackets, AGroupOfPicturesLargerThanAPartIsCutWhereItMust) {
  const std::vector<uint8_t> stream = Stream(60, 6, 60);  // one key frame only
  const long long limit = 50 * kPacket;
  MemoryParts split = Rewrite(stream, limit, kPacket);
  ASSERT_GE(split.parts.size(), 5u);
  size_t total = 0;
  for (const auto& part : split.parts) {
    EXPECT_LE(static_cast<long long>(part.size()), limit);
    total += part.size() / kPacket;
  }
  size_t whole = Rewrite(stream, 0, kPacket).parts.at(0).size() / kPacket;
  EXPECT_EQ(whole + 2 * (split.parts.size() - 1), total);
}

TEST(ToolkitM2tsPackets, WhatIsNoTransportStreamIsRefused) {
  MemoryParts parts;
  M2tsRewriter rewriter({}, parts);
  std::vector<uint8_t> garbage(kPacket * 2, 0x11);
  EXPECT_FALSE(rewriter.Feed(garbage.data(), garbage.size()));
  EXPECT_FALSE(rewriter.Error().empty());

  MemoryParts cut;
  M2tsRewriter partial({}, cut);
  std::vector<uint8_t> stream = Stream(3, 1, 3);
  EXPECT_TRUE(partial.Feed(stream.data(), stream.size() - 10));
  EXPECT_FALSE(partial.Finish());  // ends inside a packet

  RewriteOptions tiny;
  tiny.splitBytes = 2 * kPacket;
  MemoryParts small;
  M2tsRewriter tooSmall(tiny, small);
  stream = Stream(30, 3, 3);
  EXPECT_FALSE(tooSmall.Feed(stream.data(), stream.size()) && tooSmall.Finish());
}

}  // namespace
}  // namespace quillet::toolkit::m2ts
