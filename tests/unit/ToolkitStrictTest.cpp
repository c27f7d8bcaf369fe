// The strict reader on a Blu-ray clip made here (1080p24 H.264 and AC3 in 192-byte packets)
// and on the folder the toolkit writes around it: the clean ones pass, and each planted fault
// is found as the rule it breaks, in the file it is in.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <map>

#include "base/BitStream.h"
#include "tests/support/TestApp.h"
#include "toolkit/M2tsPackets.h"
#include "toolkit/bluray/BluRayFolder.h"
#include "toolkit/bluray/MovieObjectFile.h"
#include "toolkit/bluray/StrictFolder.h"
#include "toolkit/bluray/StrictTransportStream.h"

namespace quillet::toolkit::bluray {
namespace {

namespace fs = std::filesystem;
namespace m = m2ts;
using Packet = std::array<uint8_t, 192>;
using Stream = std::vector<Packet>;
using Bytes = std::vector<uint8_t>;
constexpr uint64_t kFrame = m::kClock / 24;  // 24 frames, 8 packets each, a key picture every 12

struct Making {
  std::string language = "ger";
  int ac3RateCode = 0;  // 48 kHz
  int packetSize = 192;
};

Bytes Sps1080() {
  BitWriter w;
  for (uint32_t byte : {0x67, 66, 0, 41}) w.U8(byte);
  for (uint32_t code : {0, 0, 2, 1}) w.Ue(code);  // id, frame number bits, POC type, refs
  w.Bits(0, 1);
  w.Ue(119);                                      // 120 macroblocks wide
  w.Ue(67);                                       // 68 high
  w.Bits(7, 3);                                   // frames only, direct 8x8, cropped:
  for (uint32_t crop : {0, 0, 0, 4}) w.Ue(crop);  // 8 lines off the bottom
  w.Bits(1, 2);                                   // no VUI, stop bit
  while (!w.Aligned()) w.Bits(0, 1);
  return w.Bytes();
}

Bytes Pes(uint8_t id, uint64_t pts, const Bytes& es) {
  Bytes p = {0, 0, 1, id, 0, 0, 0x80, 0x80, 5, uint8_t(0x21 | ((pts >> 29) & 0x0e))};
  for (uint64_t part : {pts >> 22, (pts >> 14) | 1, pts >> 7, (pts << 1) | 1})
    p.push_back(uint8_t(part));
  p.insert(p.end(), es.begin(), es.end());
  if (id != 0xe0) p[4] = uint8_t((p.size() - 6) >> 8), p[5] = uint8_t(p.size() - 6);
  return p;
}

Bytes Section(Bytes s) {
  s[1] = uint8_t(0xb0 | ((s.size() + 1) >> 8));
  s[2] = uint8_t(s.size() + 1);  // after the length, with the CRC
  const uint32_t crc = m::MpegCrc32(s.data(), s.size());
  for (int i = 0; i < 4; ++i) s.push_back(uint8_t(crc >> (24 - 8 * i)));
  s.insert(s.begin(), 0);  // pointer field
  return s;
}

Stream MakeClip(const Making& making) {
  Stream out;
  std::map<uint16_t, int> counters;
  uint64_t clock = m::kClock;
  auto put = [&](Packet& p) {
    m::SetArrivalTime(p.data(), clock);
    clock += kFrame / 8;
    out.push_back(p);
  };
  auto add = [&](uint16_t pid, const Bytes& payload, uint8_t flags = 0) {
    Packet p;
    p.fill(0xff);
    uint8_t* ts = p.data() + 4;
    const uint8_t head[] = {0x47, 0, 0, 0, 0, flags};
    std::memcpy(ts, head, sizeof head);
    ts[1] = uint8_t((payload.empty() ? 0 : 0x40) | pid >> 8), ts[2] = uint8_t(pid);
    ts[3] = uint8_t(0x30 | (counters[pid]++ & 15)), ts[4] = uint8_t(183 - payload.size());
    std::memcpy(ts + 188 - payload.size(), payload.data(), payload.size());
    put(p);
  };
  auto pcr = [&] {
    Packet p;
    m::WritePcrPacket(p.data() + 4, m::kPcrPid, clock);
    put(p);
  };
  const std::string& l = making.language;
  const Bytes start = {0, 0, 0, 1, 9, 0xf0}, sps = Sps1080();
  for (int f = 0; f < 24; ++f) {
    add(0, Section({0, 0, 0, 0, 1, 0xc1, 0, 0, 0, 1, 0xe1, 0}));
    Bytes pmt = {2,    0,    0,    0, 1,    0xc1, 0, 0,    0xf0, 0x01, 0xf0, 0, 0x1b,
                 0xf0, 0x11, 0xf0, 0, 0x81, 0xf1, 0, 0xf0, 6,    0x0a, 4};  // video, AC3 + language
    pmt.insert(pmt.end(), {uint8_t(l[0]), uint8_t(l[1]), uint8_t(l[2]), 0});
    add(0x100, Section(pmt));
    pcr();
    Bytes es = start;
    if (f % 12 == 0) {
      for (Bytes nal : {sps, Bytes{0x68, 0xce, 0x38, 0x80}, Bytes{0x65, 0x88, 0x84}}) {
        es.insert(es.end(), {0, 0, 0, 1});
        es.insert(es.end(), nal.begin(), nal.end());
      }
    } else {
      es.insert(es.end(), {0, 0, 0, 1, 0x41, 0x9a, 0x02});
    }
    add(0x1011, Pes(0xe0, 90000 + f * 3750u, es), f % 12 == 0 ? 0x40 : 0);
    add(0x1100, Pes(0xbd, 90000 + f * 2880u,
                    {0x0b, 0x77, 0, 0, uint8_t(making.ac3RateCode << 6 | 0x14), 0x40}));
    add(0x1fff, {});
    pcr();
    add(0x1fff, {});
  }
  return out;
}

void Save(const Stream& stream, int packetSize, const fs::path& path) {
  std::string bytes;
  for (const Packet& p : stream) bytes.append(p.begin() + (192 - packetSize), p.end());
  test::WriteFile(path, bytes);
}

Packet& Nth(Stream& s, uint16_t pid, int n) {
  for (Packet& p : s)
    if (m::PidOf(p.data() + 4) == pid && n-- == 0) return p;
  throw std::out_of_range("no such packet");
}

void MakeNull(Packet& p) {
  p[5] |= 0x1f;
  p[6] = 0xff;
}

// The rules a result says are broken, with their files.
std::map<std::string, std::string> Broken(const StrictResult& result) {
  std::map<std::string, std::string> broken;
  for (const BrokenRule& b : result.broken) broken.emplace(b.rule, b.file);
  return broken;
}

TEST(ToolkitStrict, PlantedFaultsInATransportStreamBreakTheirRules) {
  struct Row {
    const char* rule;
    Making making;
    std::function<void(Stream&)> plant;
  };
  const Row rows[] = {
      {"packet-sync", {}, [](Stream& s) { s[10][4] = 0x48; }},
      {"continuity", {}, [](Stream& s) { Nth(s, 0x1011, 5)[7] += 1; }},
      {"arrival-order", {}, [](Stream& s) { std::copy_n(s[19].begin(), 4, s[20].begin()); }},
      {"pcr-gap", {}, [](Stream& s) { MakeNull(Nth(s, m::kPcrPid, 9)); }},
      {"psi-gap", {}, [](Stream& s) { MakeNull(Nth(s, 0, 4)), MakeNull(Nth(s, 0, 4)); }},
      {"psi-gap",
       {"ger", 0, 188},
       [](Stream& s) { MakeNull(Nth(s, 0, 4)), MakeNull(Nth(s, 0, 4)); }},
      {"aligned-units",
       {},
       [](Stream& s) {
         s.push_back(s.back());
         m::SetArrivalTime(s.back().data(), m::ArrivalTimeOf(s.back().data()) + 100);
       }},
      {"parameter-sets",
       {},
       [](Stream& s) {
         Packet& key = Nth(s, 0x1011, 12);  // the second key picture: SEI for SPS and PPS
         for (size_t i = 0; i + 4 < key.size(); ++i)
           if (!key[i] && !key[i + 1] && key[i + 2] == 1 &&
               (key[i + 3] == 0x67 || key[i + 3] == 0x68))
             key[i + 3] = 0x06;
       }},
      {"pes-length", {}, [](Stream& s) { Nth(s, 0x1100, 3)[192 - 15] = 0; }},
      {"language", {"und"}, nullptr},
      {"sample-rate", {"ger", 1}, nullptr},  // 44.1 kHz
  };
  test::TempFolder temp("strict-ts");
  const auto check = [&](const Making& making, const Stream& clip) {
    Save(clip, making.packetSize, temp.path() / "film.m2ts");
    return CheckTransportStreamFile(
        (temp.path() / "film.m2ts").string(),
        making.packetSize == 192 ? StreamUse::kBluRayClip : StreamUse::kPlainStream);
  };
  for (int size : {192, 188}) {
    const StrictResult clean = check({"ger", 0, size}, MakeClip({"ger", 0, size}));
    EXPECT_TRUE(clean.readable && clean.broken.empty())
        << size << (clean.broken.empty() ? clean.problem : clean.broken[0].text);
  }
  for (const Row& row : rows) {
    Stream clip = MakeClip(row.making);
    if (row.plant) row.plant(clip);
    EXPECT_EQ("film.m2ts", Broken(check(row.making, clip))[row.rule]) << row.rule;
  }
  test::WriteFile(temp.path() / "text.m2ts", std::string(1000, 'x'));
  EXPECT_FALSE(
      CheckTransportStreamFile((temp.path() / "text.m2ts").string(), StreamUse::kPlainStream)
          .readable);
}

uint32_t U32(const Bytes& b, size_t at) {
  return uint32_t(b[at] << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]);
}

TEST(ToolkitStrict, PlantedFaultsInABluRayFolderBreakTheirRules) {
  // Places in the clip information: the first stream of the program info (after its 14-byte
  // head), the audio stream after it, the EP map's second fine entry.
  const auto program = [](const Bytes& b) { return U32(b, 12) + 14; };
  const auto fine = [](const Bytes& b) {
    const size_t map = U32(b, 16) + 6, stream = map + U32(b, map + 10);
    return stream + U32(b, stream) + 4;
  };
  struct Row {
    const char* rule;
    const char* file;  // under BDMV/
    std::function<void(Bytes&)> plant;
    bool broken = true;
  };
  const Row rows[] = {
      {"length", "CLIPINF/00000.clpi", [](Bytes& b) { ++b[U32(b, 12) + 3]; }},
      {"reserved", "CLIPINF/00000.clpi", [](Bytes& b) { b[60] = 1; }},
      {"ep-map", "CLIPINF/00000.clpi", [&](Bytes& b) { ++b[fine(b) + 3]; }},
      {"recording-rate", "CLIPINF/00000.clpi", [](Bytes& b) { b[54] = 0, b[55] = 100; }},
      {"video-format", "CLIPINF/00000.clpi", [&](Bytes& b) { b[program(b) + 4] = 0x63; }},
      {"video-format-stream", "CLIPINF/00000.clpi", [&](Bytes& b) { b[program(b) + 4] = 0x52; }},
      {"stream-table", "CLIPINF/00000.clpi", [&](Bytes& b) { b[program(b) + 1] = 0x12; }},
      {"language", "CLIPINF/00000.clpi",
       [&](Bytes& b) { std::memcpy(&b[program(b) + 29], "und", 3); }},
      {"sample-rate", "CLIPINF/00000.clpi", [&](Bytes& b) { b[program(b) + 28] = 0x64; }},
      {"play-item-times", "PLAYLIST/00000.mpls", [](Bytes& b) { ++b[U32(b, 8) + 27]; }},
      {"chapter-marks", "PLAYLIST/00000.mpls",
       [](Bytes& b) { std::fill_n(&b[U32(b, 12) + 10], 4, 0); }},
      {"length", "index.bdmv", [](Bytes& b) { ++b[U32(b, 8) + 3]; }},
      {"reserved", "MovieObject.bdmv", [](Bytes& b) { b[44] = 1; }},
      {"title-end", "MovieObject.bdmv",
       [](Bytes& b) {  // the film, then nothing: a menu-driven player loops on its last frame
         MovieObject title;
         title.commands = {PlayPlaylistCommand(0)};
         b = WriteMovieObjects({title});
       }},
  };
  test::TempFolder temp("strict-folder");
  const std::vector<ClipStream> streams = {
      {0x1011, StreamCoding::kH264, 1920, 1080, false, 24},
      {0x1100, StreamCoding::kAc3, 0, 0, false, 0, 6, 48000, "ger"}};
  auto makeFolder = [&](const fs::path& folder) {
    Save(MakeClip({}), 192, temp.path() / "clip.m2ts");
    std::string error;
    EXPECT_TRUE(WriteBluRayFolder(folder.string(),
                                  {{(temp.path() / "clip.m2ts").string(), streams}}, {}, &error))
        << error;
  };
  makeFolder(temp.path() / "clean");
  const StrictResult clean = CheckBluRayFolder((temp.path() / "clean").string());
  ASSERT_TRUE(clean.readable) << clean.problem;
  EXPECT_EQ((std::map<std::string, std::string>{}), Broken(clean));
  for (const Row& row : rows) {
    const fs::path folder = temp.path() / "disc";
    fs::remove_all(folder);
    makeFolder(folder);
    const fs::path file = folder / "BDMV" / row.file;
    const std::string text = test::ReadFile(file);
    Bytes bytes(text.begin(), text.end());
    row.plant(bytes);
    test::WriteFile(file, std::string(bytes.begin(), bytes.end()));
    const auto broken = Broken(CheckBluRayFolder(folder.string()));
    EXPECT_EQ(row.broken ? "BDMV/" + std::string(row.file) : "",
              broken.count(row.rule) ? broken.at(row.rule) : "")
        << row.rule;
  }
  EXPECT_FALSE(CheckBluRayFolder(temp.str()).readable);
}

}  // namespace
}  // namespace quillet::toolkit::bluray
