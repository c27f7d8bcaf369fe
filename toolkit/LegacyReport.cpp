#include "toolkit/LegacyReport.h"

#include <cmath>

#include "base/Text.h"
#include "toolkit/H264.h"

namespace quillet::toolkit {
namespace {

// An EBML variable-length number: the element ID keeps its marker bit, a size loses it.
bool ReadVint(const std::string& b, size_t& pos, uint64_t& value, bool keepMarker,
              bool* unknown = nullptr) {
  if (pos >= b.size()) return false;
  unsigned first = static_cast<uint8_t>(b[pos]);
  int length = 1;
  while (length <= 8 && !(first & (0x80u >> (length - 1)))) ++length;
  if (length > 8 || pos + static_cast<size_t>(length) > b.size()) return false;
  value = keepMarker ? first : (first & ((0x80u >> (length - 1)) - 1));
  bool allOnes = (value == ((0x80u >> (length - 1)) - 1)) && !keepMarker;
  for (int i = 1; i < length; ++i) {
    unsigned byte = static_cast<uint8_t>(b[pos + static_cast<size_t>(i)]);
    allOnes = allOnes && byte == 0xFF;
    value = (value << 8) | byte;
  }
  if (unknown) *unknown = allOnes;
  pos += static_cast<size_t>(length);
  return true;
}

uint64_t ReadUnsigned(const std::string& b, size_t pos, uint64_t size) {
  uint64_t v = 0;
  for (uint64_t i = 0; i < size && i < 8; ++i) v = (v << 8) | static_cast<uint8_t>(b[pos + i]);
  return v;
}

std::string DurationText(double seconds) {
  long long ms = std::llround(seconds * 1000.0);
  return Format("%.3fs (%02lld:%02lld:%02lld.%03lld)", seconds, ms / 3600000, ms / 60000 % 60,
                ms / 1000 % 60, ms % 1000);
}

std::string SegmentUidText(const std::string& hex) {
  auto bytes = FromHex(hex);
  if (!bytes) return "";
  std::string out;
  for (uint8_t b : *bytes) {
    if (!out.empty()) out += ' ';
    out += Format("0x%02x", b);
  }
  return out;
}

std::string CodecPrivateLine(const MkvTrack& t) {
  long long length = t.codecPrivateLength > 0 ? t.codecPrivateLength
                                              : static_cast<long long>(t.codecPrivate.size());
  if (length <= 0) return "";
  std::string line = Format("|  + CodecPrivate, length %lld", length);
  const auto& p = t.codecPrivate;
  if (t.codecId == "V_MPEG4/ISO/AVC" && p.size() >= 4) {
    line += " (h.264 profile: " + ProfileName(p[1]) + Format(" @L%d.%d)", p[3] / 10, p[3] % 10);
  } else if (t.codecId == "V_MS/VFW/FOURCC" && p.size() >= 20) {
    // BITMAPINFOHEADER: biCompression at byte 16, the FourCC in file order.
    std::string fourcc;
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t c = p[16 + static_cast<size_t>(i)];
      fourcc += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
      value |= static_cast<uint32_t>(c) << (8 * i);
    }
    line += Format(" (FourCC: %s, 0x%08x)", fourcc.c_str(), value);
  }
  return line;
}

}  // namespace

EbmlHead ReadEbmlHead(const std::string& b) {
  EbmlHead head;
  size_t pos = 0;
  uint64_t id = 0, size = 0;
  if (!ReadVint(b, pos, id, true) || id != 0x1A45DFA3 || !ReadVint(b, pos, size, false))
    return head;
  size_t end = pos + size;
  if (end > b.size()) return head;
  while (pos < end) {
    uint64_t childId = 0, childSize = 0;
    if (!ReadVint(b, pos, childId, true) || !ReadVint(b, pos, childSize, false) ||
        pos + childSize > end)
      return head;
    switch (childId) {
      case 0x4286:
        head.version = ReadUnsigned(b, pos, childSize);
        break;
      case 0x42F7:
        head.readVersion = ReadUnsigned(b, pos, childSize);
        break;
      case 0x42F2:
        head.maxIdLength = ReadUnsigned(b, pos, childSize);
        break;
      case 0x42F3:
        head.maxSizeLength = ReadUnsigned(b, pos, childSize);
        break;
      case 0x4282: {
        std::string text = b.substr(pos, childSize);
        head.docType = text.substr(0, text.find('\0'));
        break;
      }
      case 0x4287:
        head.docTypeVersion = ReadUnsigned(b, pos, childSize);
        break;
      case 0x4285:
        head.docTypeReadVersion = ReadUnsigned(b, pos, childSize);
        break;
      default:
        break;
    }
    pos += childSize;
  }
  head.valid = !head.docType.empty();
  bool unknown = false;
  if (ReadVint(b, pos, id, true) && id == 0x18538067 && ReadVint(b, pos, size, false, &unknown) &&
      !unknown)
    head.segmentSize = static_cast<long long>(size);
  return head;
}

void DisplayInPixels(const MkvTrack& t, int& width, int& height) {
  width = t.displayWidth;
  height = t.displayHeight;
  if (width <= 0 || height <= 0) {
    width = t.pixelWidth;
    height = t.pixelHeight;
  } else if (t.displayUnit != 0 && t.pixelHeight > 0) {
    width = static_cast<int>(std::lround(static_cast<double>(t.pixelHeight) * width / height));
    height = t.pixelHeight;
  }
}

std::string WriteLegacyReport(const MkvIdentification& id, const EbmlHead& head) {
  std::string r;
  auto line = [&r](const std::string& text) { r += text + "\n"; };

  line("+ EBML head");
  line(Format("|+ EBML version: %llu", static_cast<unsigned long long>(head.version)));
  line(Format("|+ EBML read version: %llu", static_cast<unsigned long long>(head.readVersion)));
  line(
      Format("|+ EBML maximum ID length: %llu", static_cast<unsigned long long>(head.maxIdLength)));
  line(Format("|+ EBML maximum size length: %llu",
              static_cast<unsigned long long>(head.maxSizeLength)));
  line("|+ Doc type: " + (head.docType.empty() ? std::string("matroska") : head.docType));
  if (head.docTypeVersion)
    line(Format("|+ Doc type version: %llu", static_cast<unsigned long long>(head.docTypeVersion)));
  if (head.docTypeReadVersion)
    line(Format("|+ Doc type read version: %llu",
                static_cast<unsigned long long>(head.docTypeReadVersion)));
  line(head.segmentSize >= 0 ? Format("+ Segment, size %lld", head.segmentSize)
                             : std::string("+ Segment, size unknown"));

  line("|+ Segment information");
  if (id.timestampScale > 0) line(Format("| + Timecode scale: %lld", id.timestampScale));
  if (!id.muxingApplication.empty()) line("| + Muxing application: " + id.muxingApplication);
  if (!id.writingApplication.empty()) line("| + Writing application: " + id.writingApplication);
  if (id.durationNs >= 0) line("| + Duration: " + DurationText(id.durationNs / 1e9));
  if (!id.segmentUid.empty()) line("| + Segment UID: " + SegmentUidText(id.segmentUid));

  // Names are free text, and the program reads this report by substrings ("A track",
  // "Language:", a line ending in "subtitles"): attachment names are left out, a track's
  // name is written percent-encoded and in quotes, where no such search can match it.
  line("|+ Segment tracks");
  for (const MkvTrack& t : id.tracks) {
    line("| + A track");
    line(Format("|  + Track number: %lld", t.number > 0 ? t.number : t.id + 1));
    if (!t.uid.empty()) line("|  + Track UID: " + t.uid);
    line("|  + Track type: " + t.type);
    line(Format("|  + Enabled: %d", t.enabled ? 1 : 0));
    line(Format("|  + Default flag: %d", t.defaultTrack ? 1 : 0));
    line(Format("|  + Forced flag: %d", t.forced ? 1 : 0));
    line("|  + Codec ID: " + t.codecId);
    std::string privateLine = CodecPrivateLine(t);
    if (!privateLine.empty()) line(privateLine);
    if (t.defaultDurationNs > 0) {
      double ms = t.defaultDurationNs / 1e6;
      line(Format("|  + Default duration: %.3fms (%.3f fps for a video track)", ms, 1000.0 / ms));
    }
    if (!t.language.empty()) line("|  + Language: " + t.language);
    if (!t.name.empty()) line("|  + Name: \"" + PercentEncoded(t.name) + "\"");
    if (t.type == "video") {
      int dw = 0, dh = 0;
      DisplayInPixels(t, dw, dh);
      line("|  + Video track");
      line(Format("|   + Pixel width: %d", t.pixelWidth));
      line(Format("|   + Pixel height: %d", t.pixelHeight));
      line(Format("|   + Display width: %d", dw));
      line(Format("|   + Display height: %d", dh));
    } else if (t.type == "audio") {
      line("|  + Audio track");
      if (t.samplingFrequency > 0)
        line(Format("|   + Sampling frequency: %lld", t.samplingFrequency));
      if (t.channels > 0) line(Format("|   + Channels: %lld", t.channels));
      if (t.bitsPerSample > 0) line(Format("|   + Bit depth: %lld", t.bitsPerSample));
    }
  }
  if (id.chapterEditions > 0) line("|+ Chapters");
  if (id.attachments > 0) {
    line("|+ Attachments");
    for (int i = 0; i < id.attachments; ++i) line("| + Attached");
  }
  if (id.globalTags > 0) line("|+ Tags");
  return r;
}

}  // namespace quillet::toolkit
