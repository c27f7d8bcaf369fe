#include "toolkit/bluray/PlaylistFile.h"

#include "base/BitStream.h"
#include "toolkit/bluray/StreamCodes.h"

namespace quillet::toolkit::bluray {
namespace {

constexpr uint32_t kTicksPerMinute = 45000 * 60;

void WriteAppInfo(BitWriter& w) {
  const size_t length = w.Size();
  w.U32(0);
  w.U8(0);
  w.U8(1);     // sequential playback
  w.U16(0);    // no repeat count
  w.Zeros(8);  // no user operation is masked
  w.U16(0);    // random access allowed, no audio mixing
  w.PatchLength32(length);
}

void WriteStreamEntry(BitWriter& w, const ClipStream& s) {
  w.U8(9);
  w.U8(1);  // a stream of the play item's own clip
  w.U16(s.pid);
  w.Zeros(6);
  const size_t start = w.Size();
  w.U8(0);
  w.U8(uint8_t(s.coding));
  switch (KindOf(s.coding)) {
    case StreamKind::kVideo:
      w.Bits(VideoFormatCode(s.width, s.height, s.interlaced, s.framesPerSecond), 4);
      w.Bits(FrameRateCode(s.framesPerSecond), 4);
      w.Zeros(3);
      break;
    case StreamKind::kAudio:
      w.Bits(AudioFormatCode(s.channels), 4);
      w.Bits(SampleRateCode(s.sampleRate), 4);
      w.Text(LanguageCode(s.language), 3);
      break;
    case StreamKind::kSubtitle:
      w.Text(LanguageCode(s.language), 3);
      w.Zeros(2);
      break;
  }
  w.PatchU8(start, uint8_t(w.Size() - start - 1));
}

void WriteStnTable(BitWriter& w, const std::vector<ClipStream>& streams) {
  int counts[3] = {0, 0, 0};
  for (const ClipStream& s : streams) ++counts[int(KindOf(s.coding))];
  const size_t length = w.Size();
  w.U16(0);
  w.U16(0);
  w.U8(uint8_t(counts[0]));
  w.U8(uint8_t(counts[1]));
  w.U8(uint8_t(counts[2]));
  w.Zeros(5);  // no interactive graphics, secondary streams, PiP subtitles, enhancement
  w.Zeros(4);
  for (StreamKind kind : {StreamKind::kVideo, StreamKind::kAudio, StreamKind::kSubtitle})
    for (const ClipStream& s : streams)
      if (KindOf(s.coding) == kind) WriteStreamEntry(w, s);
  w.PatchLength16(length);
}

void WritePlayItem(BitWriter& w, const PlayItem& item, const std::vector<ClipStream>& streams) {
  const size_t length = w.Size();
  w.U16(0);
  w.Text(item.clipName, 5);
  w.Text("M2TS", 4);
  w.Bits(0, 11);
  w.Bits(0, 1);  // one angle
  w.Bits(item.connectionCondition, 4);
  w.U8(0);  // STC sequence 0
  w.U32(item.inTime);
  w.U32(item.outTime);
  w.Zeros(8);  // no user operation is masked
  w.U8(0);     // random access allowed
  w.U8(0);     // no still
  w.U16(0);
  WriteStnTable(w, streams);
  w.PatchLength16(length);
}

void WritePlayList(BitWriter& w, const Playlist& playlist) {
  const size_t length = w.Size();
  w.U32(0);
  w.U16(0);
  w.U16(uint16_t(playlist.items.size()));
  w.U16(0);  // no sub-paths
  for (const PlayItem& item : playlist.items) WritePlayItem(w, item, playlist.streams);
  w.PatchLength32(length);
}

void WriteMarks(BitWriter& w, const std::vector<PlaylistMark>& marks) {
  const size_t length = w.Size();
  w.U32(0);
  w.U16(uint16_t(marks.size()));
  for (const PlaylistMark& mark : marks) {
    w.U8(0);
    w.U8(1);  // entry mark: a chapter
    w.U16(mark.playItem);
    w.U32(mark.time);
    w.U16(0xffff);  // no elementary stream named
    w.U32(0);       // duration left to the player
  }
  w.PatchLength32(length);
}

}  // namespace

std::vector<PlaylistMark> ChapterMarks(const std::vector<PlayItem>& items, int minutes) {
  std::vector<PlaylistMark> marks;
  const uint64_t step = minutes > 0 ? uint64_t(minutes) * kTicksPerMinute : 0;
  uint64_t titleTime = 0;  // where the current item starts in the title
  uint64_t next = 0;       // title time of the next mark
  for (size_t i = 0; i < items.size(); ++i) {
    const uint64_t length = items[i].outTime - items[i].inTime;
    while (next < titleTime + length || (next == 0 && marks.empty())) {
      marks.push_back({uint16_t(i), uint32_t(items[i].inTime + (next - titleTime))});
      if (step == 0) return marks;
      next += step;
    }
    titleTime += length;
  }
  return marks;
}

std::vector<uint8_t> WritePlaylist(const Playlist& playlist) {
  BitWriter w;
  w.Text("MPLS0200", 8);
  w.Zeros(12 + 20);  // three start addresses, reserved bytes
  WriteAppInfo(w);
  w.PatchU32(8, uint32_t(w.Size()));
  WritePlayList(w, playlist);
  w.PatchU32(12, uint32_t(w.Size()));
  WriteMarks(w, playlist.marks);
  return w.Bytes();
}

namespace {

PlaylistView::Item::Stream ReadStream(BitReader& r, uint8_t kind) {
  PlaylistView::Item::Stream s;
  s.kind = kind;
  size_t length = r.U8();
  size_t start = r.Position();
  r.Skip(8);
  s.pid = uint16_t(r.U16());
  r.Seek(start + length);
  length = r.U8();
  start = r.Position();
  s.coding = uint8_t(r.U8());
  if (kind == 2) {
    s.language = r.Text(3);
  } else {
    s.format = uint8_t(r.Bits(4));
    s.rate = uint8_t(r.Bits(4));
    if (kind == 1) s.language = r.Text(3);
  }
  r.Seek(start + length);
  return s;
}

void ReadPlayItem(BitReader& r, PlaylistView::Item* item) {
  const size_t length = r.U16();
  const size_t start = r.Position();
  item->item.clipName = r.Text(5);
  r.Skip(4 * 8 + 12);
  item->item.connectionCondition = uint8_t(r.Bits(4));
  r.Skip(8);
  item->item.inTime = r.U32();
  item->item.outTime = r.U32();
  r.Skip(12 * 8);
  r.Skip(16 + 16);  // STN length, reserved
  const uint8_t counts[3] = {uint8_t(r.U8()), uint8_t(r.U8()), uint8_t(r.U8())};
  r.Skip(9 * 8);
  for (uint8_t kind = 0; kind < 3; ++kind)
    for (int i = 0; i < counts[kind] && !r.Failed(); ++i)
      item->streams.push_back(ReadStream(r, kind));
  r.Seek(start + length);
}

}  // namespace

bool ReadPlaylist(const std::vector<uint8_t>& bytes, PlaylistView* view, std::string* error) {
  *view = PlaylistView();
  BitReader r(bytes);
  if (r.Text(4) != "MPLS" || r.Text(4) != "0200") {
    *error = "not a movie playlist file";
    return false;
  }
  const size_t list = r.U32(), marks = r.U32();
  r.Seek(40 + 5);
  view->playbackType = uint8_t(r.U8());
  r.Seek(list + 6);
  const size_t items = r.U16();
  r.Skip(16);
  for (size_t i = 0; i < items && !r.Failed(); ++i) {
    view->items.emplace_back();
    ReadPlayItem(r, &view->items.back());
  }
  r.Seek(marks + 4);
  const size_t markCount = r.U16();
  for (size_t i = 0; i < markCount && !r.Failed(); ++i) {
    PlaylistView::Mark mark;
    r.Skip(8);
    mark.type = uint8_t(r.U8());
    mark.mark.playItem = uint16_t(r.U16());
    mark.mark.time = r.U32();
    r.Skip(6 * 8);
    view->marks.push_back(mark);
  }
  if (r.Failed()) {
    *error = "movie playlist file ends early";
    return false;
  }
  return true;
}

}  // namespace quillet::toolkit::bluray
