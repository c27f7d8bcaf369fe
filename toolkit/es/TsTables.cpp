#include "toolkit/es/TsTables.h"

#include "toolkit/M2tsPackets.h"

namespace quillet::toolkit::es {
namespace {

void Put16(std::vector<uint8_t>& out, unsigned value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

// A section (table id, the 16-bit id and what follows the section numbers) with its length
// and CRC, in a packet of its own.
std::optional<TsPacket> SectionPacket(uint16_t pid, uint8_t continuity, uint8_t tableId,
                                      uint16_t id, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> s = {tableId, 0, 0};
  Put16(s, id);
  s.insert(s.end(), {0xC1, 0x00, 0x00});  // version 0, current; section 0 of 0
  s.insert(s.end(), body.begin(), body.end());
  const size_t length = s.size() - 3 + 4;
  s[1] = static_cast<uint8_t>(0xB0 | (length >> 8));
  s[2] = static_cast<uint8_t>(length);
  const uint32_t crc = m2ts::MpegCrc32(s.data(), s.size());
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<uint8_t>(crc >> (24 - 8 * i)));
  TsPacket p;
  p.fill(0xFF);
  if (5 + s.size() > p.size()) return std::nullopt;
  p[0] = 0x47;
  p[1] = static_cast<uint8_t>(0x40 | (pid >> 8));
  p[2] = static_cast<uint8_t>(pid);
  p[3] = static_cast<uint8_t>(0x10 | (continuity & 0x0F));
  p[4] = 0;  // pointer field
  std::copy(s.begin(), s.end(), p.begin() + 5);
  return p;
}

void PutDescriptor(std::vector<uint8_t>& out, uint8_t tag, const std::string& bytes) {
  out.push_back(tag);
  out.push_back(static_cast<uint8_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

uint8_t StreamTypeOf(const ProgramStream& stream) {
  switch (stream.codec) {
    case TrackCodec::H264:
      return 0x1B;
    case TrackCodec::Ac3:
      return 0x81;
    case TrackCodec::Dts:
      return 0x82;
    case TrackCodec::Aac:
      return 0x0F;
    case TrackCodec::Mp2:
    case TrackCodec::Mp3:
      return stream.sampleRate > 0 && stream.sampleRate < 32000 ? 0x04 : 0x03;
    case TrackCodec::TextSubtitle:
      return 0x90;
    case TrackCodec::Vc1:
      return 0xEA;
    case TrackCodec::Mpeg2Video:
      return 0x02;
  }
  return 0;
}

TsPacket PatPacket(uint8_t continuity) {
  const std::vector<uint8_t> program = {0x00, 0x01, 0xE0 | (kPmtPid >> 8), kPmtPid & 0xFF};
  return *SectionPacket(0x0000, continuity, 0x00, 0x0001, program);
}

std::optional<TsPacket> PmtPacket(const std::vector<ProgramStream>& streams, uint16_t pcrPid,
                                  uint8_t continuity) {
  std::vector<uint8_t> body;
  Put16(body, 0xE000u | pcrPid);
  std::vector<uint8_t> program;
  PutDescriptor(program, 0x05, "HDMV");
  PutDescriptor(program, 0x88, std::string("\x0F\xFF\xFC\xFC", 4));
  Put16(body, 0xF000u | program.size());
  body.insert(body.end(), program.begin(), program.end());
  for (const ProgramStream& s : streams) {
    std::vector<uint8_t> info;
    if (s.codec == TrackCodec::Ac3) PutDescriptor(info, 0x05, "AC-3");
    if (s.language.size() == 3 && s.codec != TrackCodec::H264)
      PutDescriptor(info, 0x0A, s.language + std::string(1, '\0'));
    body.push_back(StreamTypeOf(s));
    Put16(body, 0xE000u | s.pid);
    Put16(body, 0xF000u | info.size());
    body.insert(body.end(), info.begin(), info.end());
  }
  return SectionPacket(kPmtPid, continuity, 0x02, 0x0001, body);
}

}  // namespace quillet::toolkit::es
