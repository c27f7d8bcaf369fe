#pragma once
// Blu-ray transport-stream packets (192 bytes: a 4-byte arrival time stamp, then the
// 188-byte MPEG-TS packet) and the one pass over ffmpeg's m2ts output that makes it what
// players expect:
// - the program clock reference moves from the video PID to packets of its own (PID
//   0x1001, adaptation field only), the PMT names that PID, and a reference is sent at
//   least every 40 ms (ffmpeg leaves gaps of more than 100 ms);
// - every packet gets an arrival time stamp on the program clock, each later than the one
//   before (ffmpeg's VBR mode writes numbers that run backwards);
// - every part ends with null packets up to a whole aligned unit of 32 packets (6,144
//   bytes), the unit Blu-ray players read: they drop a last partial one;
// - the DVB service table, which no Blu-ray stream has, is dropped;
// - optionally the stream is cut at video key frames into parts of at most a given
//   size, each starting with the PAT and PMT.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillet::toolkit::m2ts {

// A TS packet, and an M2TS packet: the same with a 4-byte time code in front.
inline constexpr size_t kTsPacket = 188, kPacket = 192;
// Players read a clip in aligned units of 32 packets.
inline constexpr size_t kAlignedUnit = 32 * kPacket;
// The PIDs of a Blu-ray transport stream: the clock, the video, the first audio and
// subtitle streams (the others follow in order).
inline constexpr uint16_t kPcrPid = 0x1001, kVideoPid = 0x1011, kFirstAudioPid = 0x1100,
                          kFirstSubtitlePid = 0x1200;
inline constexpr uint64_t kClock = 27000000;  // the program clock runs at 27 MHz

// --- Fields of one 188-byte TS packet ---
uint32_t MpegCrc32(const uint8_t* data, size_t size);
uint16_t PidOf(const uint8_t* ts);
bool StartsPayload(const uint8_t* ts);   // payload_unit_start_indicator
bool IsRandomAccess(const uint8_t* ts);  // random_access_indicator of the adaptation field
std::optional<uint64_t> PcrOf(const uint8_t* ts);  // in 27 MHz ticks
// Takes the PCR out of the adaptation field (the field keeps its length, stuffed).
void RemovePcr(uint8_t* ts);
// A packet with only an adaptation field carrying the PCR.
void WritePcrPacket(uint8_t* ts, uint16_t pid, uint64_t pcr);
// A null packet (PID 0x1FFF).
void WriteNullPacket(uint8_t* ts);
// The PMT PID of the first program of a PAT packet.
std::optional<uint16_t> PmtPidOf(const uint8_t* ts);
std::optional<uint16_t> PcrPidOfPmt(const uint8_t* ts);
// Rewrites PCR_PID of a PMT section held in one packet and its CRC; false when the
// packet holds no whole PMT section.
bool SetPmtPcrPid(uint8_t* ts, uint16_t pid);

// --- The 4-byte header of a 192-byte packet ---
uint32_t ArrivalTimeOf(const uint8_t* packet);  // 30 bits, 27 MHz
void SetArrivalTime(uint8_t* packet, uint64_t clock);

// Where the packets go: one part after the other.
class PartSink {
 public:
  virtual ~PartSink() = default;
  virtual bool Write(const uint8_t* data, size_t size) = 0;
  // Ends the current part after its first `keep` bytes followed by `tail`, and starts the
  // next one with `head`, followed by what the current part held beyond `keep`.
  virtual bool Cut(uint64_t keep, const std::vector<uint8_t>& tail,
                   const std::vector<uint8_t>& head) = 0;
};

// Parts held in memory (for checks and small streams).
class MemoryParts : public PartSink {
 public:
  bool Write(const uint8_t* data, size_t size) override;
  bool Cut(uint64_t keep, const std::vector<uint8_t>& tail,
           const std::vector<uint8_t>& head) override;
  std::vector<std::vector<uint8_t>> parts{1};
};

struct RewriteOptions {
  uint16_t pcrPid = kPcrPid;
  uint16_t videoPid = kVideoPid;
  uint64_t maxPcrGap = kClock / 25;  // 40 ms
  long long splitBytes = 0;          // 0: no split; parts are whole aligned units within it
  // Languages the PMT names for streams ffmpeg leaves without one (PID -> ISO 639-2).
  std::map<uint16_t, std::string> languages;
};

class M2tsRewriter {
 public:
  M2tsRewriter(const RewriteOptions& options, PartSink& sink);
  // Takes the stream in pieces of any size. False (see Error) when it is no m2ts stream
  // or the sink fails.
  bool Feed(const uint8_t* data, size_t size);
  bool Finish();
  const std::string& Error() const { return error_; }
  int Parts() const { return parts_; }

 private:
  struct Pending {
    std::array<uint8_t, kPacket> bytes;
    bool cutBefore = false;  // a part may start here (a video key frame)
    bool isPcr = false;
  };
  bool Process(uint8_t* packet);
  bool AnchorPcr(uint64_t pcr, bool keyFrame);
  bool Flush(std::optional<uint64_t> nextPcr);
  bool Put(Pending& packet, uint64_t clock);
  bool RepeatTables(uint64_t clock);
  void CountTable(uint8_t* packet, uint64_t clock);
  bool PutPcr(uint64_t pcr);
  bool PutLead(double step);
  bool Write(const uint8_t* packet);
  // Null packets after the clock `from`, `step` apart, up to a whole aligned unit of `bytes`.
  static std::vector<uint8_t> Padding(uint64_t bytes, uint64_t from, uint64_t step);
  bool Fail(const std::string& why);

  RewriteOptions options_;
  PartSink& sink_;
  std::vector<uint8_t> carry_;
  std::vector<Pending> pending_;  // from the last PCR on
  std::vector<Pending> lead_;     // before the first PCR
  std::optional<uint64_t> lastPcr_;
  double lastStep_ = 0;  // clock ticks per packet in the last stretch between PCRs
  std::optional<uint16_t> pmtPid_;
  std::vector<uint8_t> pat_, pmt_;  // the latest, for the start of each part
  // The latest PAT and PMT written out, and those in force at the latest key frame: a part
  // starts with the tables in force where it starts, so their continuity counts run on.
  std::vector<uint8_t> putPat_, putPmt_, cutPat_, cutPmt_;
  // ffmpeg sends the tables only where a PES starts: a long picture keeps them back for more
  // than the 100 ms a player allows. The pass repeats them and numbers their packets anew.
  std::optional<uint64_t> lastTables_;  // the clock of the latest PAT written
  uint8_t patCount_ = 15, pmtCount_ = 15;
  bool repeating_ = false;
  uint64_t partBytes_ = 0;
  uint64_t cutAt_ = 0;  // the latest key frame of this part (0: none but its start)
  uint64_t cutClock_ = 0;
  uint64_t cutPrevClock_ = 0;          // the packet before that key frame
  std::optional<uint64_t> lastClock_;  // of the latest packet written
  uint64_t lastGap_ = 0;               // between it and the one before
  int parts_ = 1;
  std::string error_;
};

}  // namespace quillet::toolkit::m2ts
