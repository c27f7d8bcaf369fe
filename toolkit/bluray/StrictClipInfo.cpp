#include "toolkit/bluray/StrictClipInfo.h"

#include <algorithm>
#include <cmath>

#include "base/BitStream.h"
#include "base/Text.h"
#include "toolkit/bluray/StreamCodes.h"

namespace quillet::toolkit::bluray {
namespace {

// The length of ClipInfo without ATC deltas; the program info and the CPI are counted for one
// program and one EP map PID.
constexpr uint32_t kClipInfoLength = 176;

bool Zero(BitReader& r, size_t bits) {
  bool zero = true;
  for (; bits >= 32; bits -= 32) zero = r.U32() == 0 && zero;
  return (bits == 0 || r.Bits(int(bits)) == 0) && zero;
}

// A part that starts with a 32-bit length: it must end before the next part starts.
void CheckPart(const char* name, uint32_t start, uint32_t next, uint32_t length, uint32_t content,
               RuleLog* log) {
  if (start + 4 + uint64_t(length) > next)
    log->Break("length", Format("%s (%u bytes at %u) runs past the next part at %u", name, length,
                                start, next));
  else if (length != content)
    log->Break("length", Format("%s says %u bytes long, holds %u", name, length, content));
}

bool AllowedPair(uint8_t format, uint8_t rate) {
  static const std::pair<uint8_t, uint8_t> kPairs[] = {{1, 4}, {2, 3}, {5, 1}, {5, 2}, {5, 6},
                                                       {5, 7}, {4, 3}, {4, 4}, {6, 1}, {6, 2}};
  return std::find(std::begin(kPairs), std::end(kPairs), std::make_pair(format, rate)) !=
         std::end(kPairs);
}

int HeightOf(uint8_t format) {
  static const int kHeights[] = {0, 480, 576, 480, 1080, 720, 1080, 576};
  return format < 8 ? kHeights[format] : 0;
}

int RateOfCode(uint8_t code) {
  return code == 1 ? 48000 : code == 4 || code == 14 ? 96000 : code == 5 || code == 12 ? 192000 : 0;
}

void CheckLayout(const std::vector<uint8_t>& bytes, const ClipInfoView& view, RuleLog* log) {
  BitReader r(bytes);
  r.Seek(8);
  const uint32_t sequence = r.U32(), program = r.U32(), cpi = r.U32(), mark = r.U32();
  r.Skip(32);
  if (!Zero(r, 96)) log->Break("reserved", "the reserved bytes of the header are not zero");
  if (!(40 <= sequence && sequence < program && program < cpi && cpi < mark &&
        mark + 4 <= bytes.size())) {
    log->Break("length", Format("the parts start at %u, %u, %u, %u: not in order inside the %zu "
                                "bytes",
                                sequence, program, cpi, mark, bytes.size()));
    return;
  }
  r.Seek(40);
  const uint32_t clipInfoLength = r.U32();
  bool reserved = Zero(r, 16);
  const uint32_t streamType = r.U8(), applicationType = r.U8();
  if (streamType != 1 || applicationType < 1 || applicationType > 7)
    log->Break("length", Format("clip stream type %u, application type %u: no AV stream",
                                streamType, applicationType));
  reserved = Zero(r, 31) && reserved;
  const bool atcDeltas = r.Bit() != 0;
  r.Skip(64);
  reserved = Zero(r, 128 * 8) && reserved;
  if (r.U16() != 30 || r.U8() != 0x80 || r.Text(4) != "HDMV")
    log->Break("length", "the TS type info block is not the HDMV one of 30 bytes");
  // ATC deltas and a text subtitle clip's fonts follow the block; without them it ends here.
  const bool more = atcDeltas || applicationType == 6;
  CheckPart("ClipInfo", 40, sequence, clipInfoLength, more ? clipInfoLength : kClipInfoLength, log);
  r.Seek(sequence);
  const uint32_t sequenceLength = r.U32();
  reserved = Zero(r, 8) && reserved;
  const size_t atcs = r.U8();
  uint32_t sequenceContent = 2;
  for (size_t a = 0; a < atcs && !r.Failed(); ++a) {
    r.Skip(32);
    const size_t stcs = r.U8();
    r.Skip(8 + 14 * 8 * stcs);
    sequenceContent += 6 + 14 * uint32_t(stcs);
  }
  CheckPart("SequenceInfo", sequence, program, sequenceLength, sequenceContent, log);
  r.Seek(program);
  const uint32_t programLength = r.U32();
  reserved = Zero(r, 8) && reserved;
  r.Skip(8 + 32 + 16);
  const size_t streams = r.U8();
  r.Skip(8);
  uint32_t content = 10;
  for (size_t i = 0; i < streams && i < view.streams.size(); ++i) {
    r.Skip(16);
    const size_t length = r.U8(), start = r.Position();
    const ClipInfoView::Stream& s = view.streams[i];
    // Five bytes of fields (video: coding, format and rate, aspect, 2 + 1 + 17 reserved bits
    // around the overscan flag; audio: coding, format and rate, language; subtitles: coding,
    // language, a reserved byte), the ISRC, then padding.
    const StreamKind kind = KindOf(StreamCoding(s.coding));
    const uint64_t fields = r.Bits(40);
    bool clean = kind == StreamKind::kVideo ? (fields & 0xd0000ull) == 0 && (fields & 0xffff) == 0
                 : kind == StreamKind::kSubtitle ? (fields & 0xff) == 0
                                                 : true;
    r.Seek(start + std::min<size_t>(length, 5 + 12));
    clean = Zero(r, (length - std::min<size_t>(length, 5 + 12)) * 8) && clean;
    if (!clean)
      log->Break("reserved", Format("the coding info of PID 0x%04x has reserved bits set", s.pid));
    r.Seek(start + length);
    content += 3 + uint32_t(length);
  }
  CheckPart("ProgramInfo", program, cpi, programLength, content, log);
  r.Seek(cpi);
  const uint32_t cpiLength = r.U32();
  reserved = Zero(r, 12) && reserved;
  if (r.Bits(4) != 1) log->Break("length", "the CPI is no EP map");
  CheckPart(
      "CPI", cpi, mark, cpiLength,
      2 + 2 + 12 + 4 + 8 * uint32_t(view.ep.coarse.size() + 0) + 4 * uint32_t(view.ep.fine.size()),
      log);
  r.Seek(mark);
  if (mark + 4 + uint64_t(r.U32()) != bytes.size())
    log->Break("length", Format("the clip marks do not end the file (%zu bytes)", bytes.size()));
  if (!reserved) log->Break("reserved", "reserved fields of the clip information are not zero");
}

void CheckEpMap(const ClipInfoView& view, const TransportFacts& clip, RuleLog* log) {
  if (view.epPid != clip.videoPid || view.epStreamType != 1)
    log->Break("ep-map", Format("the EP map is for PID 0x%04x (type %d), the video is PID 0x%04x",
                                view.epPid, view.epStreamType, clip.videoPid));
  int bad = 0, missing = 0;
  std::string first;
  const std::vector<EpEntry> entries = EpEntries(view.ep, log);
  for (size_t i = 0; i < entries.size(); ++i) {
    const EpEntry& e = entries[i];
    auto at = std::lower_bound(clip.pictures.begin(), clip.pictures.end(), e.spn,
                               [](const PictureStart& p, uint32_t spn) { return p.spn < spn; });
    const bool found = at != clip.pictures.end() && at->spn == e.spn;
    if (found && (at->pts & ~uint64_t(0x1ff)) == e.pts) {
      if (!at->parameterSets) ++missing;
      continue;
    }
    if (bad++ == 0)
      first = found
                  ? Format("entry %zu has PTS %llu, the picture at packet %u has %llu", i,
                           (unsigned long long)e.pts, e.spn, (unsigned long long)at->pts)
                  : Format("entry %zu points at packet %u, which starts no key picture", i, e.spn);
  }
  if (bad)
    log->Break("ep-map", Format("%d of %zu EP map entries are wrong: %s", bad, entries.size(),
                                first.c_str()));
  if (missing)
    log->Break("parameter-sets",
               Format("%d of %zu EP map entries start a picture without SPS and PPS or a sequence "
                      "header",
                      missing, entries.size()));
}

void CheckStreams(const ClipInfoView& view, const TransportFacts& clip,
                  const StrictOptions& options, RuleLog* log) {
  if (view.sourcePackets != clip.packets)
    log->Break("length", Format("the clip information counts %u source packets, the clip holds %u",
                                view.sourcePackets, clip.packets));
  if (view.pmtPid != clip.pmtPid || view.pcrPid != clip.pcrPid)
    log->Break("stream-table", Format("the PMT / PCR PIDs are 0x%04x / 0x%04x, the clip's 0x%04x "
                                      "/ 0x%04x",
                                      view.pmtPid, view.pcrPid, clip.pmtPid, clip.pcrPid));
  bool same = view.streams.size() == clip.streams.size();
  for (size_t i = 0; same && i < view.streams.size(); ++i)
    same = view.streams[i].pid == clip.streams[i].pid &&
           view.streams[i].coding == clip.streams[i].type;
  if (!same)
    log->Break("stream-table", Format("the program info lists %zu streams, the PMT %zu, not the "
                                      "same PIDs and types in the same order",
                                      view.streams.size(), clip.streams.size()));
  const auto& exempt = options.pidsWithoutLanguage;
  for (const ClipInfoView::Stream& s : view.streams) {
    const StreamKind kind = KindOf(StreamCoding(s.coding));
    auto pmt = std::find_if(clip.streams.begin(), clip.streams.end(),
                            [&](const StreamFacts& f) { return f.pid == s.pid; });
    if (kind != StreamKind::kVideo &&
        std::find(exempt.begin(), exempt.end(), s.pid) == exempt.end() &&
        (LanguageCode(s.language) == "und" ||
         (pmt != clip.streams.end() && !pmt->language.empty() && pmt->language != s.language)))
      log->Break("language", Format("the clip information names the language of PID 0x%04x "
                                    "\"%s\"",
                                    s.pid, s.language.c_str()));
    if (kind == StreamKind::kAudio && pmt != clip.streams.end() && pmt->sampleRate &&
        RateOfCode(s.rate) != pmt->sampleRate)
      log->Break("sample-rate", Format("the clip information gives PID 0x%04x rate code %d, the "
                                       "audio runs at %d Hz",
                                       s.pid, s.rate, pmt->sampleRate));
    if (kind != StreamKind::kVideo) continue;
    // Progressive pictures of 480 or 576 lines (and other small sizes written as such) are
    // no BD-ROM format at any rate: a picture size of its own, which the program warns about
    // before it makes the folder.
    if (s.format == 3 || s.format == 7)
      log->Break("picture-size", Format("video format %d (%d lines progressive) is no BD-ROM "
                                        "format",
                                        s.format, HeightOf(s.format)));
    else if (!AllowedPair(s.format, s.rate))
      log->Break("video-format",
                 Format("video format %d at frame rate %d is no BD-ROM format", s.format, s.rate));
    if (pmt == clip.streams.end() || pmt->height == 0) continue;
    // Whether the pictures are fields the SPS only hints at: the sizes must agree.
    const uint8_t format =
        VideoFormatCode(pmt->width, pmt->height, pmt->interlaced, pmt->framesPerSecond);
    const uint8_t rate = pmt->framesPerSecond > 0 ? FrameRateCode(pmt->framesPerSecond) : s.rate;
    if (HeightOf(format) != HeightOf(s.format) || rate != s.rate)
      log->Break("video-format-stream",
                 Format("the clip information says format %d at rate %d, the stream is %dx%d%s at "
                        "%.3f fps",
                        s.format, s.rate, pmt->width, pmt->height, pmt->interlaced ? "i" : "p",
                        pmt->framesPerSecond));
  }
}

void CheckRate(const ClipInfoView& view, const TransportFacts& clip, RuleLog* log) {
  if (view.tsRecordingRate == 0) {
    log->Break("recording-rate", "the recording rate is 0");
    return;
  }
  const uint64_t least = (192ull * 27000000 + view.tsRecordingRate - 1) / view.tsRecordingRate - 1;
  if (clip.smallestArrivalGap && clip.smallestArrivalGap < least)
    log->Break("recording-rate",
               Format("two packets arrive %u ticks apart; at %u bytes/s none may be closer than "
                      "%llu",
                      clip.smallestArrivalGap, view.tsRecordingRate, (unsigned long long)least));
}

}  // namespace

std::vector<EpEntry> EpEntries(const EpMap& map, RuleLog* log) {
  std::vector<EpEntry> entries;
  int bad = 0;
  std::string first;
  for (size_t c = 0; c < map.coarse.size(); ++c) {
    const EpCoarse& coarse = map.coarse[c];
    const size_t end = c + 1 < map.coarse.size() ? map.coarse[c + 1].refToFine : map.fine.size();
    if (coarse.refToFine >= end || end > map.fine.size() || (c == 0 && coarse.refToFine != 0)) {
      if (bad++ == 0)
        first = Format("coarse entry %zu refers to fine entry %u", c, coarse.refToFine);
      continue;
    }
    const EpFine& head = map.fine[coarse.refToFine];
    if ((coarse.spn & 0x1ffff) != head.spn || (coarse.pts & 1) != (head.pts >> 10))
      if (bad++ == 0) first = Format("coarse entry %zu disagrees with its first fine entry", c);
    for (size_t f = coarse.refToFine; f < end; ++f) {
      const EpFine& fine = map.fine[f];
      entries.push_back({(uint64_t(coarse.pts) << 19) | (uint64_t(fine.pts & 0x3ff) << 9),
                         (coarse.spn & ~uint32_t(0x1ffff)) | fine.spn});
      if (entries.size() > 1 && entries.back().spn <= entries[entries.size() - 2].spn)
        if (bad++ == 0) first = Format("fine entry %zu does not come after the one before", f);
    }
  }
  if (bad)
    log->Break("ep-map", Format("the EP map's coarse and fine entries disagree: %s", first.c_str()),
               bad);
  return entries;
}

bool CheckClipInfo(const std::vector<uint8_t>& bytes, const TransportFacts* clip,
                   const StrictOptions& options, RuleLog* log, ClipInfoView* view) {
  std::string error;
  if (!ReadClipInfo(bytes, view, &error)) {
    log->Break("length", error);
    return false;
  }
  CheckLayout(bytes, *view, log);
  if (!clip) return true;
  CheckEpMap(*view, *clip, log);
  CheckStreams(*view, *clip, options, log);
  CheckRate(*view, *clip, log);
  return true;
}

}  // namespace quillet::toolkit::bluray
