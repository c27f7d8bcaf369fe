#include "toolkit/bluray/ClipInfoFile.h"

#include "base/BitStream.h"
#include "toolkit/bluray/StreamCodes.h"

namespace quillet::toolkit::bluray {
namespace {

constexpr size_t kCodingInfoLength = 21;  // every stream's coding info, padded

// The file begins with its type, its version and the start of each part.
struct ClipHeader {
  size_t sequenceInfo = 8, programInfo = 12, cpi = 16, clipMark = 20;
};

void WriteClipInfoPart(BitWriter& w, const ClipInfo& clip) {
  const size_t length = w.Size();
  w.U32(0);
  w.U16(0);
  w.U8(1);   // clip stream type: an AV stream
  w.U8(1);   // application type: main TS of a movie
  w.U32(0);  // reserved, no ATC delta
  w.U32(clip.tsRecordingRate);
  w.U32(clip.sourcePackets);
  w.Zeros(128);
  w.U16(30);  // TS type info block
  w.U8(0x80);
  w.Text("HDMV", 4);
  w.Zeros(25);
  w.PatchLength32(length);
}

void WriteSequenceInfo(BitWriter& w, const ClipInfo& clip) {
  const size_t length = w.Size();
  w.U32(0);
  w.U8(0);
  w.U8(1);   // one ATC sequence
  w.U32(0);  // it starts at the first packet
  w.U8(1);   // one STC sequence
  w.U8(0);   // numbered from 0
  w.U16(clip.pcrPid);
  w.U32(clip.firstPcrSpn);
  w.U32(clip.presentationStart);
  w.U32(clip.presentationEnd);
  w.PatchLength32(length);
}

void WriteStreamCodingInfo(BitWriter& w, const ClipStream& s) {
  const size_t start = w.Size();
  w.U8(kCodingInfoLength);
  w.U8(uint8_t(s.coding));
  switch (KindOf(s.coding)) {
    case StreamKind::kVideo:
      w.Bits(VideoFormatCode(s.width, s.height, s.interlaced, s.framesPerSecond), 4);
      w.Bits(FrameRateCode(s.framesPerSecond), 4);
      w.Bits(AspectCode(s.width, s.height), 4);
      w.Bits(0, 20);  // reserved, no overscan flag
      break;
    case StreamKind::kAudio:
      w.Bits(AudioFormatCode(s.channels), 4);
      w.Bits(SampleRateCode(s.sampleRate), 4);
      w.Text(LanguageCode(s.language), 3);
      break;
    case StreamKind::kSubtitle:
      w.Text(LanguageCode(s.language), 3);
      w.U8(0);
      break;
  }
  w.Zeros(start + 1 + kCodingInfoLength - w.Size());  // ISRC and padding
}

void WriteProgramInfo(BitWriter& w, const ClipInfo& clip) {
  const size_t length = w.Size();
  w.U32(0);
  w.U8(0);
  w.U8(1);   // one program
  w.U32(0);  // program sequence starts at the first packet
  w.U16(clip.pmtPid);
  w.U8(uint8_t(clip.streams.size()));
  w.U8(0);  // no groups
  for (const ClipStream& s : clip.streams) {
    w.U16(s.pid);
    WriteStreamCodingInfo(w, s);
  }
  w.PatchLength32(length);
}

void WriteEpMapForVideo(BitWriter& w, const EpMap& ep) {
  const size_t start = w.Size();
  w.U32(0);  // where the fine table starts, patched below
  for (const EpCoarse& c : ep.coarse) {
    w.Bits(c.refToFine, 18);
    w.Bits(c.pts, 14);
    w.U32(c.spn);
  }
  w.PatchU32(start, uint32_t(w.Size() - start));
  for (const EpFine& f : ep.fine) {
    w.Bits(0, 1);  // not an angle change point
    w.Bits(f.endPositionOffset, 3);
    w.Bits(f.pts, 11);
    w.Bits(f.spn, 17);
  }
}

void WriteCpi(BitWriter& w, const ClipInfo& clip) {
  const size_t length = w.Size();
  w.U32(0);
  w.Bits(0, 12);
  w.Bits(1, 4);  // CPI type: EP map
  const size_t epMapStart = w.Size();
  w.U8(0);
  w.U8(1);  // one PID
  w.U16(clip.videoPid);
  w.Bits(0, 10);
  w.Bits(1, 4);  // EP stream type: video
  const EpMap ep = BuildEpMap(clip.entryPoints);
  w.Bits(ep.coarse.size(), 16);
  w.Bits(ep.fine.size(), 18);
  const size_t address = w.Size();
  w.U32(0);
  w.PatchU32(address, uint32_t(w.Size() - epMapStart));
  WriteEpMapForVideo(w, ep);
  w.PatchLength32(length);
}

}  // namespace

uint8_t EndPositionOffsetCode(uint32_t packets) {
  // Brackets of the key picture's size in bytes from its first packet.
  static const uint64_t kLimits[] = {131072, 262144, 393216, 589824, 917504, 1310720};
  const uint64_t bytes = uint64_t(packets) * kSourcePacketSize;
  for (uint8_t i = 0; i < 6; ++i)
    if (bytes < kLimits[i]) return uint8_t(i + 1);
  return 7;
}

EpMap BuildEpMap(const std::vector<EntryPoint>& points) {
  EpMap map;
  for (const EntryPoint& p : points) {
    const uint16_t coarsePts = uint16_t((p.pts >> 19) & 0x3fff);
    const bool newCoarse = map.coarse.empty() || map.coarse.back().pts != coarsePts ||
                           (map.coarse.back().spn >> 17) != (p.spn >> 17);
    if (newCoarse) map.coarse.push_back({uint32_t(map.fine.size()), coarsePts, p.spn});
    map.fine.push_back(
        {EndPositionOffsetCode(p.packets), uint16_t((p.pts >> 9) & 0x7ff), p.spn & 0x1ffff});
  }
  return map;
}

std::vector<uint8_t> WriteClipInfo(const ClipInfo& clip) {
  BitWriter w;
  const ClipHeader at;
  w.Text("HDMV0200", 8);
  w.Zeros(32);  // five start addresses and reserved bytes
  WriteClipInfoPart(w, clip);
  w.PatchU32(at.sequenceInfo, uint32_t(w.Size()));
  WriteSequenceInfo(w, clip);
  w.PatchU32(at.programInfo, uint32_t(w.Size()));
  WriteProgramInfo(w, clip);
  w.PatchU32(at.cpi, uint32_t(w.Size()));
  WriteCpi(w, clip);
  w.PatchU32(at.clipMark, uint32_t(w.Size()));
  w.U32(0);  // no clip marks
  return w.Bytes();
}

namespace {

void ReadStreams(BitReader& r, ClipInfoView* view) {
  r.Skip(5 * 8);
  const int programs = int(r.U8());
  if (programs < 1) return;
  r.Skip(32);
  view->pmtPid = uint16_t(r.U16());
  const int streams = int(r.U8());
  r.Skip(8);
  for (int i = 0; i < streams && !r.Failed(); ++i) {
    ClipInfoView::Stream s;
    s.pid = uint16_t(r.U16());
    const size_t length = r.U8();
    const size_t start = r.Position();
    s.coding = uint8_t(r.U8());
    switch (KindOf(StreamCoding(s.coding))) {
      case StreamKind::kVideo:
        s.format = uint8_t(r.Bits(4));
        s.rate = uint8_t(r.Bits(4));
        break;
      case StreamKind::kAudio:
        s.format = uint8_t(r.Bits(4));
        s.rate = uint8_t(r.Bits(4));
        s.language = r.Text(3);
        break;
      case StreamKind::kSubtitle:
        s.language = r.Text(3);
        break;
    }
    r.Seek(start + length);
    view->streams.push_back(s);
  }
}

void ReadEpMap(BitReader& r, ClipInfoView* view) {
  r.Skip(32 + 12 + 4);
  const size_t epMapStart = r.Position();
  r.Skip(8);
  if (r.U8() < 1) return;
  view->epPid = uint16_t(r.U16());
  r.Skip(10);
  view->epStreamType = uint8_t(r.Bits(4));
  const size_t coarseCount = r.Bits(16);
  const size_t fineCount = r.Bits(18);
  const size_t streamStart = epMapStart + r.U32();
  r.Seek(streamStart);
  const size_t fineStart = streamStart + r.U32();
  for (size_t i = 0; i < coarseCount && !r.Failed(); ++i) {
    EpCoarse c;
    c.refToFine = uint32_t(r.Bits(18));
    c.pts = uint16_t(r.Bits(14));
    c.spn = r.U32();
    view->ep.coarse.push_back(c);
  }
  r.Seek(fineStart);
  for (size_t i = 0; i < fineCount && !r.Failed(); ++i) {
    EpFine f;
    r.Skip(1);
    f.endPositionOffset = uint8_t(r.Bits(3));
    f.pts = uint16_t(r.Bits(11));
    f.spn = uint32_t(r.Bits(17));
    view->ep.fine.push_back(f);
  }
}

}  // namespace

bool ReadClipInfo(const std::vector<uint8_t>& bytes, ClipInfoView* view, std::string* error) {
  *view = ClipInfoView();
  BitReader r(bytes);
  if (r.Text(4) != "HDMV" || r.Text(4) != "0200") {
    *error = "not a clip information file";
    return false;
  }
  const size_t sequenceInfo = r.U32(), programInfo = r.U32(), cpi = r.U32();
  r.Seek(40 + 4 + 2);
  view->streamType = uint8_t(r.U8());
  view->applicationType = uint8_t(r.U8());
  r.Skip(32);
  view->tsRecordingRate = r.U32();
  view->sourcePackets = r.U32();
  r.Seek(sequenceInfo + 5);
  if (r.U8() >= 1) {
    r.Skip(32);
    if (r.U8() >= 1) {
      r.Skip(8);
      view->pcrPid = uint16_t(r.U16());
      view->stcStartSpn = r.U32();
      view->presentationStart = r.U32();
      view->presentationEnd = r.U32();
    }
  }
  r.Seek(programInfo);
  ReadStreams(r, view);
  r.Seek(cpi);
  ReadEpMap(r, view);
  if (r.Failed()) {
    *error = "clip information file ends early";
    return false;
  }
  return true;
}

}  // namespace quillet::toolkit::bluray
