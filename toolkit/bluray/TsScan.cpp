#include "toolkit/bluray/TsScan.h"

#include <algorithm>
#include <fstream>

namespace quillet::toolkit::bluray {
namespace {

// What one 188-byte TS packet says, as far as the scan needs it.
struct TsPacket {
  uint16_t pid = 0;
  bool unitStart = false;
  bool randomAccess = false;
  bool hasPcr = false;
  const uint8_t* payload = nullptr;
  size_t payloadSize = 0;
};

bool ParseTsPacket(const uint8_t* p, TsPacket* packet) {
  if (p[0] != 0x47) return false;
  packet->pid = uint16_t(((p[1] & 0x1f) << 8) | p[2]);
  packet->unitStart = (p[1] & 0x40) != 0;
  const int control = (p[3] >> 4) & 3;
  size_t offset = 4;
  if (control & 2) {
    const size_t length = p[4];
    if (length > 183) return false;
    if (length > 0) {
      packet->randomAccess = (p[5] & 0x40) != 0;
      packet->hasPcr = (p[5] & 0x10) != 0;
    }
    offset = 5 + length;
  }
  if ((control & 1) && offset < 188) {
    packet->payload = p + offset;
    packet->payloadSize = 188 - offset;
  }
  return true;
}

uint64_t ReadTimeStamp(const uint8_t* p) {
  return (uint64_t(p[0] & 0x0e) << 29) | (uint64_t(p[1]) << 22) | (uint64_t(p[2] & 0xfe) << 14) |
         (uint64_t(p[3]) << 7) | (uint64_t(p[4]) >> 1);
}

// The PTS of a PES header and where its payload starts; false when it has none.
bool ParsePesStart(const uint8_t* p, size_t size, uint64_t* pts, size_t* payloadOffset) {
  if (size < 14 || p[0] != 0 || p[1] != 0 || p[2] != 1) return false;
  const int flags = p[7] >> 6;
  *payloadOffset = 9 + size_t(p[8]);
  if (!(flags & 2)) return false;
  *pts = ReadTimeStamp(p + 9);
  return true;
}

// The PMT PID named first in a PAT section.
bool PmtPidFromPat(const uint8_t* p, size_t size, uint16_t* pmtPid) {
  if (size < 1) return false;
  const size_t start = 1 + size_t(p[0]);  // after the pointer field
  if (start + 3 > size) return false;
  const size_t sectionLength = size_t((p[start + 1] & 0x0f) << 8) | p[start + 2];
  const size_t end = std::min(size, start + 3 + sectionLength - 4);  // before the CRC
  for (size_t entry = start + 8; entry + 4 <= end; entry += 4) {
    const uint16_t program = uint16_t((p[entry] << 8) | p[entry + 1]);
    if (program == 0) continue;  // the network PID
    *pmtPid = uint16_t(((p[entry + 2] & 0x1f) << 8) | p[entry + 3]);
    return true;
  }
  return false;
}

// Follows the video PID's PES starts: time span and entry points.
class VideoTracker {
 public:
  VideoTracker(StreamCoding coding, TsScanResult* result) : coding_(coding), result_(result) {}

  void OnPesStart(const TsPacket& packet, uint32_t spn) {
    CloseOpenEntry(spn);
    uint64_t pts = 0;
    size_t payloadOffset = 0;
    if (!ParsePesStart(packet.payload, packet.payloadSize, &pts, &payloadOffset)) return;
    if (!result_->hasVideoPts || pts < result_->firstVideoPts) result_->firstVideoPts = pts;
    if (!result_->hasVideoPts || pts > result_->lastVideoPts) result_->lastVideoPts = pts;
    result_->hasVideoPts = true;
    // The bytes decide; the muxer's random-access flag only where they say nothing yet
    // (ffmpeg flags every frame of a stream whose frames are all marked as key frames).
    const PictureKind kind = payloadOffset < packet.payloadSize
                                 ? KindOfPicture(packet.payload + payloadOffset,
                                                 packet.payloadSize - payloadOffset, coding_)
                                 : PictureKind::kUnknown;
    const bool key =
        kind == PictureKind::kKey || (kind == PictureKind::kUnknown && packet.randomAccess);
    if (!key) return;
    result_->entryPoints.push_back({pts, spn, 0});
    openEntry_ = true;
  }

  void Finish(uint32_t packets) { CloseOpenEntry(packets); }

 private:
  void CloseOpenEntry(uint32_t spn) {
    if (!openEntry_) return;
    EntryPoint& entry = result_->entryPoints.back();
    entry.packets = spn - entry.spn;
    openEntry_ = false;
  }

  StreamCoding coding_;
  TsScanResult* result_;
  bool openEntry_ = false;
};

}  // namespace

PictureKind KindOfPicture(const uint8_t* payload, size_t size, StreamCoding coding) {
  for (size_t i = 0; i + 3 < size; ++i) {
    if (payload[i] != 0 || payload[i + 1] != 0 || payload[i + 2] != 1) continue;
    const uint8_t code = payload[i + 3];
    switch (coding) {
      case StreamCoding::kH264: {
        const int nalType = code & 0x1f;
        if (nalType == 5 || nalType == 7)
          return PictureKind::kKey;                     // IDR slice or sequence parameters
        if (nalType == 1) return PictureKind::kNotKey;  // a plain slice came first
        break;
      }
      case StreamCoding::kMpeg1Video:
      case StreamCoding::kMpeg2Video:
        if (code == 0xb3) return PictureKind::kKey;     // sequence header
        if (code == 0x00) return PictureKind::kNotKey;  // picture start without one
        break;
      case StreamCoding::kVc1:
        if (code == 0x0f) return PictureKind::kKey;     // sequence header
        if (code == 0x0d) return PictureKind::kNotKey;  // frame without one
        break;
      default:
        return PictureKind::kUnknown;
    }
  }
  return PictureKind::kUnknown;
}

bool ScanTransportStream(const std::string& path, uint16_t videoPid, StreamCoding videoCoding,
                         TsScanResult* result, std::string* error) {
  *result = TsScanResult();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  VideoTracker video(videoCoding, result);
  bool pcrSeen = false;
  bool patSeen = false;
  std::vector<uint8_t> buffer(kSourcePacketSize * 4096);
  uint32_t spn = 0, lastArrival = 0;
  while (in) {
    in.read(reinterpret_cast<char*>(buffer.data()), std::streamsize(buffer.size()));
    const size_t got = size_t(in.gcount());
    if (got % kSourcePacketSize != 0) {
      *error = path + " is not made of 192-byte packets";
      return false;
    }
    for (size_t at = 0; at < got; at += kSourcePacketSize, ++spn) {
      const uint8_t* source = buffer.data() + at;
      const uint32_t arrival = uint32_t(source[0] & 0x3f) << 24 | uint32_t(source[1]) << 16 |
                               uint32_t(source[2]) << 8 | source[3];
      const uint32_t gap = (arrival - lastArrival) & 0x3fffffff;  // the stamps wrap at 2^30
      if (spn == 1 || (spn > 1 && gap < result->shortestArrivalGap))
        result->shortestArrivalGap = gap;
      lastArrival = arrival;
      TsPacket packet;
      if (!ParseTsPacket(buffer.data() + at + 4, &packet)) {
        *error = path + ": no transport packet at source packet " + std::to_string(spn);
        return false;
      }
      if (packet.hasPcr && !pcrSeen) {
        pcrSeen = true;
        result->pcrPid = packet.pid;
        result->firstPcrSpn = spn;
      }
      if (packet.pid == 0 && packet.unitStart && !patSeen && packet.payload)
        patSeen = PmtPidFromPat(packet.payload, packet.payloadSize, &result->pmtPid);
      if (packet.pid == videoPid && packet.unitStart && packet.payload)
        video.OnPesStart(packet, spn);
    }
  }
  result->sourcePackets = spn;
  video.Finish(spn);
  return true;
}

}  // namespace quillet::toolkit::bluray
