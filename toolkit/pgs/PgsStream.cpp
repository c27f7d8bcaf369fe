#include "toolkit/pgs/PgsStream.h"

#include <algorithm>
#include <cstdint>

#include "toolkit/pgs/PgsRle.h"

namespace quillet::toolkit::pgs {
namespace {

constexpr size_t kFirstFragmentHead = 11;  // id, version, flags, length (3), width, height
constexpr size_t kNextFragmentHead = 4;    // id, version, flags

void Put16(std::vector<uint8_t>& out, int v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void Put24(std::vector<uint8_t>& out, size_t v) {
  out.push_back(static_cast<uint8_t>(v >> 16));
  Put16(out, static_cast<int>(v & 0xFFFF));
}

int64_t CeilDiv(int64_t a, int64_t b) {
  return (a + b - 1) / b;
}

// Segments of one display set: decode times rise by one tick each (the muxer wants them
// rising), a presentation time never before its decode time.
class DisplaySet {
 public:
  DisplaySet(std::vector<Segment>& out, int64_t dts) : out_(out), dts_(dts) {}
  void Add(uint8_t type, int64_t pts, std::vector<uint8_t> data) {
    Segment s;
    s.type = type;
    s.dts = static_cast<uint32_t>(dts_);
    s.pts = static_cast<uint32_t>(std::max(pts, dts_));
    s.data = std::move(data);
    out_.push_back(std::move(s));
    ++dts_;
  }
  int64_t NextDts() const { return dts_; }

 private:
  std::vector<Segment>& out_;
  int64_t dts_;
};

std::vector<uint8_t> CompositionData(const CanvasFormat& canvas, int number, bool epochStart,
                                     const Composition* shown) {
  std::vector<uint8_t> d;
  Put16(d, canvas.width);
  Put16(d, canvas.height);
  d.push_back(0x10);  // frame rate: decoders ignore it, discs carry 0x10
  Put16(d, number & 0xFFFF);
  d.push_back(epochStart ? 0x80 : 0x00);
  d.push_back(0x00);  // no palette-only update
  d.push_back(0x00);  // palette 0
  d.push_back(shown ? 1 : 0);
  if (shown) {
    Put16(d, 0);     // object 0
    d.push_back(0);  // window 0
    d.push_back(0);  // not cropped
    Put16(d, shown->x);
    Put16(d, shown->y);
  }
  return d;
}

std::vector<uint8_t> WindowData(const Composition& c) {
  std::vector<uint8_t> d = {1, 0};  // one window, id 0
  Put16(d, c.x);
  Put16(d, c.y);
  Put16(d, c.picture.width);
  Put16(d, c.picture.height);
  return d;
}

// Within an epoch a decoder knows a new palette or object by its version.
std::vector<uint8_t> PaletteData(const IndexedBitmap& picture, uint8_t version) {
  std::vector<uint8_t> d = {0, version};  // palette 0
  for (size_t i = 0; i < picture.palette.size() && i < 256; ++i) {
    const PaletteEntry& e = picture.palette[i];
    d.insert(d.end(), {static_cast<uint8_t>(i), e.y, e.cr, e.cb, e.alpha});
  }
  return d;
}

// The object in fragments that each fit one segment, and so one PES.
std::vector<std::vector<uint8_t>> ObjectFragments(const IndexedBitmap& picture, uint8_t version) {
  std::vector<uint8_t> code = EncodeRle(picture.pixels, picture.width, picture.height);
  std::vector<std::vector<uint8_t>> fragments;
  size_t at = 0;
  do {
    bool first = at == 0;
    size_t room = kMaxSegmentData - (first ? kFirstFragmentHead : kNextFragmentHead);
    size_t take = std::min(room, code.size() - at);
    bool last = at + take == code.size();
    std::vector<uint8_t> d;
    Put16(d, 0);  // object 0
    d.push_back(version);
    d.push_back(static_cast<uint8_t>((first ? 0x80 : 0) | (last ? 0x40 : 0)));
    if (first) {
      Put24(d, code.size() + 4);
      Put16(d, picture.width);
      Put16(d, picture.height);
    }
    d.insert(d.end(), code.begin() + static_cast<long>(at),
             code.begin() + static_cast<long>(at + take));
    fragments.push_back(std::move(d));
    at += take;
  } while (at < code.size());
  return fragments;
}

// When a display set that needs `ticks` to decode is shown: at `at` when it can start
// decoding in time, and not before `earliest`; else later by the least it needs, but at
// most a frame (the film's frames lie on the millisecond: a frame is the whole
// milliseconds of one) and never at or after `until`.
struct Slot {
  int64_t dts, pts;
};
Slot Schedule(int64_t at, int64_t ticks, int64_t earliest, int64_t until,
              const CanvasFormat& canvas) {
  int64_t latest = until - 1;
  if (canvas.fps > 0) latest = std::min(latest, at + 90 * static_cast<int64_t>(1000 / canvas.fps));
  int64_t dts = std::max(earliest, at - ticks);
  return {dts, std::clamp(dts + ticks, at, std::max(at, latest))};
}

// An epoch with the first picture's window: its window needs no plane clear, so a cue at
// 0 is not shown late. Its time stamp 0 starts the stream's time line where the film's
// starts: ffmpeg moves every source so that its first time stamp meets the others'.
int64_t AddAnchor(std::vector<Segment>& out, const std::vector<uint8_t>& window,
                  const CanvasFormat& canvas, int number) {
  DisplaySet anchor(out, 0);
  anchor.Add(kCompositionSegment, 0, CompositionData(canvas, number, true, nullptr));
  anchor.Add(kWindowSegment, 0, window);
  anchor.Add(kEndSegment, 0, {});
  return anchor.NextDts();
}

// Shows a picture at its start; returns the first free decode time.
// A picture in the window defined last goes on in its epoch; any other starts one.
int64_t AddPicture(std::vector<Segment>& out, const Composition& c, const CanvasFormat& canvas,
                   int number, int64_t earliest, bool epochStart) {
  const int w = c.picture.width, h = c.picture.height;
  const auto version = static_cast<uint8_t>(number);
  auto fragments = ObjectFragments(c.picture, version);
  // PCS, WDS and PDS come first, the object decodes once its last fragment is in.
  const int64_t objectAt = 2 + static_cast<int64_t>(fragments.size());
  const int64_t ticks = DisplaySetTicks(canvas, epochStart, w, h, objectAt);
  const Slot slot = Schedule(c.start, ticks, earliest, c.end, canvas);
  const int64_t draw = WindowDrawTicks(w, h);
  const int64_t decoded = std::min(slot.dts + objectAt + ObjectDecodeTicks(w, h), slot.pts);
  DisplaySet set(out, slot.dts);
  set.Add(kCompositionSegment, slot.pts, CompositionData(canvas, number, epochStart, &c));
  set.Add(kWindowSegment, slot.pts - draw, WindowData(c));
  set.Add(kPaletteSegment, slot.dts, PaletteData(c.picture, version));
  for (auto& fragment : fragments) set.Add(kObjectSegment, decoded, std::move(fragment));
  set.Add(kEndSegment, decoded, {});
  return std::max(set.NextDts(), decoded);
}

// Clears the picture's window when it goes (the decoder clears a window left empty).
int64_t AddClear(std::vector<Segment>& out, const Composition& c, const CanvasFormat& canvas,
                 int number, int64_t earliest) {
  const int64_t ticks = WindowDrawTicks(c.picture.width, c.picture.height);
  const Slot slot = Schedule(c.end, ticks, earliest, INT64_MAX, canvas);
  DisplaySet set(out, slot.dts);
  set.Add(kCompositionSegment, slot.pts, CompositionData(canvas, number, false, nullptr));
  set.Add(kWindowSegment, slot.dts, WindowData(c));
  set.Add(kEndSegment, slot.dts, {});
  return std::max(set.NextDts(), slot.pts);
}

}  // namespace

int64_t PlaneClearTicks(const CanvasFormat& canvas) {
  return CeilDiv(9LL * canvas.width * canvas.height, 3200);
}

int64_t ObjectDecodeTicks(int width, int height) {
  return CeilDiv(9LL * width * height, 1600);
}

int64_t WindowDrawTicks(int width, int height) {
  return CeilDiv(9LL * width * height, 3200);
}

int64_t DisplaySetTicks(const CanvasFormat& canvas, bool epochStart, int width, int height,
                        int64_t objectAt) {
  const int64_t clear = epochStart ? PlaneClearTicks(canvas) : 0;
  return std::max(clear, objectAt + ObjectDecodeTicks(width, height)) +
         WindowDrawTicks(width, height);
}

SegmentWriter::SegmentWriter(const CanvasFormat& canvas, Sink sink)
    : canvas_(canvas), sink_(std::move(sink)) {}

// The opening display set waits for the first picture: it defines that picture's window.
void SegmentWriter::Open(const Composition* first) {
  Composition whole;
  whole.picture.width = canvas_.width, whole.picture.height = canvas_.height;
  window_ = WindowData(first ? *first : whole);
  free_ = AddAnchor(made_, window_, canvas_, number_++);
  opened_ = true;
}

void SegmentWriter::Add(Composition picture) {
  if (!opened_) Open(&picture);
  // The window stays when the next picture starts as the last one ends.
  if (pending_ && picture.start > pending_->end) Clear();
  std::vector<uint8_t> window = WindowData(picture);
  free_ = AddPicture(made_, picture, canvas_, number_++, free_, window != window_);
  window_ = std::move(window);
  pending_ = std::move(picture);
  Hand();
}

void SegmentWriter::Finish() {
  if (!opened_) Open(nullptr);
  if (pending_) Clear();
  Hand();
}

void SegmentWriter::Clear() {
  free_ = AddClear(made_, *pending_, canvas_, number_++, free_);
  pending_.reset();
}

void SegmentWriter::Hand() {
  if (!made_.empty()) sink_(made_);
  made_.clear();
}

std::vector<Segment> BuildSegments(const std::vector<Composition>& pictures,
                                   const CanvasFormat& canvas) {
  std::vector<Segment> out;
  SegmentWriter writer(canvas, [&](const std::vector<Segment>& made) {
    out.insert(out.end(), made.begin(), made.end());
  });
  for (const Composition& picture : pictures) writer.Add(picture);
  writer.Finish();
  return out;
}

std::string SerializeSegments(const std::vector<Segment>& segments) {
  std::string out;
  for (const Segment& s : segments) {
    std::vector<uint8_t> head = {'P', 'G'};
    for (uint32_t v : {s.pts, s.dts}) {
      Put16(head, static_cast<int>(v >> 16));
      Put16(head, static_cast<int>(v & 0xFFFF));
    }
    head.push_back(s.type);
    Put16(head, static_cast<int>(s.data.size()));
    out.append(head.begin(), head.end());
    out.append(s.data.begin(), s.data.end());
  }
  return out;
}

std::optional<std::vector<Segment>> ParseSegments(const std::string& bytes) {
  std::vector<Segment> segments;
  auto at = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
  auto be32 = [&](size_t i) {
    return (uint32_t{at(i)} << 24) | (at(i + 1) << 16) | (at(i + 2) << 8) | at(i + 3);
  };
  for (size_t pos = 0; pos < bytes.size();) {
    if (pos + 13 > bytes.size() || bytes[pos] != 'P' || bytes[pos + 1] != 'G') return std::nullopt;
    size_t size = (at(pos + 11) << 8) | at(pos + 12);
    if (pos + 13 + size > bytes.size()) return std::nullopt;
    Segment s;
    s.pts = be32(pos + 2);
    s.dts = be32(pos + 6);
    s.type = at(pos + 10);
    s.data.assign(bytes.begin() + static_cast<long>(pos + 13),
                  bytes.begin() + static_cast<long>(pos + 13 + size));
    segments.push_back(std::move(s));
    pos += 13 + size;
  }
  return segments;
}

}  // namespace quillet::toolkit::pgs
