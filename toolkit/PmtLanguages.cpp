#include "toolkit/PmtLanguages.h"

#include <cstring>
#include <vector>

#include "toolkit/M2tsPackets.h"

namespace quillet::toolkit::m2ts {
namespace {

// Where the section starting in this packet begins (after the pointer field); 0 for none.
size_t SectionOffset(const uint8_t* ts) {
  if (!StartsPayload(ts) || !(ts[3] & 0x10)) return 0;
  size_t offset = 4 + ((ts[3] & 0x20) ? 1 + ts[4] : 0);
  if (offset >= kTsPacket) return 0;
  offset += 1 + ts[offset];
  return offset + 12 <= kTsPacket ? offset : 0;
}

bool HasLanguage(const uint8_t* descriptors, size_t size) {
  for (size_t at = 0; at + 2 <= size; at += 2 + descriptors[at + 1])
    if (descriptors[at] == 0x0A) return true;
  return false;
}

}  // namespace

bool AddPmtLanguages(uint8_t* ts, const std::map<uint16_t, std::string>& languages) {
  size_t offset = SectionOffset(ts);
  if (offset == 0 || ts[offset] != 0x02) return false;
  const uint8_t* s = ts + offset;
  size_t length = ((s[1] & 0x0F) << 8) | s[2];
  if (length < 13 || offset + 3 + length > kTsPacket) return false;
  size_t end = 3 + length - 4;  // the CRC's place
  size_t programInfo = ((s[10] & 0x0F) << 8) | s[11];
  std::vector<uint8_t> out(s, s + 12 + programInfo);
  for (size_t at = 12 + programInfo; at + 5 <= end;) {
    uint16_t pid = static_cast<uint16_t>(((s[at + 1] & 0x1F) << 8) | s[at + 2]);
    size_t info = ((s[at + 3] & 0x0F) << 8) | s[at + 4];
    if (at + 5 + info > end) return false;
    std::vector<uint8_t> descriptors(s + at + 5, s + at + 5 + info);
    auto lang = languages.find(pid);
    if (lang != languages.end() && lang->second.size() == 3 &&
        !HasLanguage(descriptors.data(), descriptors.size()))
      descriptors.insert(descriptors.end(), {0x0A, 4, static_cast<uint8_t>(lang->second[0]),
                                             static_cast<uint8_t>(lang->second[1]),
                                             static_cast<uint8_t>(lang->second[2]), 0});
    out.insert(out.end(), s + at, s + at + 3);
    out.push_back(static_cast<uint8_t>(0xF0 | (descriptors.size() >> 8)));
    out.push_back(static_cast<uint8_t>(descriptors.size()));
    out.insert(out.end(), descriptors.begin(), descriptors.end());
    at += 5 + info;
  }
  size_t newLength = out.size() - 3 + 4;
  if (offset + out.size() + 4 > kTsPacket) return false;
  out[1] = static_cast<uint8_t>((out[1] & 0xF0) | (newLength >> 8));
  out[2] = static_cast<uint8_t>(newLength);
  uint32_t crc = MpegCrc32(out.data(), out.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(crc >> (24 - 8 * i)));
  std::memset(ts + offset, 0xFF, kTsPacket - offset);
  std::memcpy(ts + offset, out.data(), out.size());
  return true;
}

}  // namespace quillet::toolkit::m2ts
