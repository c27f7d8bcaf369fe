#include "toolkit/pgs/PgsStream.h"

#include <algorithm>

#include "toolkit/pgs/PgsRle.h"

namespace quillet::toolkit::pgs {
namespace {

constexpr size_t kMaxSegmentData = 0xFFFF;
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

std::vector<uint8_t> PaletteData(const IndexedBitmap& picture) {
  std::vector<uint8_t> d = {0, 0};  // palette 0, version 0
  for (size_t i = 0; i < picture.palette.size() && i < 256; ++i) {
    const PaletteEntry& e = picture.palette[i];
    d.insert(d.end(), {static_cast<uint8_t>(i), e.y, e.cr, e.cb, e.alpha});
  }
  return d;
}

// The object in fragments that each fit one segment.
std::vector<std::vector<uint8_t>> ObjectFragments(const IndexedBitmap& picture) {
  std::vector<uint8_t> code = EncodeRle(picture.pixels, picture.width, picture.height);
  std::vector<std::vector<uint8_t>> fragments;
  size_t at = 0;
  do {
    bool first = at == 0;
    size_t room = kMaxSegmentData - (first ? kFirstFragmentHead : kNextFragmentHead);
    size_t take = std::min(room, code.size() - at);
    bool last = at + take == code.size();
    std::vector<uint8_t> d;
    Put16(d, 0);     // object 0
    d.push_back(0);  // version 0
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

// Shows a picture at its start; returns the first free decode time.
int64_t AddPicture(std::vector<Segment>& out, const Composition& c, const CanvasFormat& canvas,
                   int number, int64_t earliest) {
  const int w = c.picture.width, h = c.picture.height;
  int64_t decode = ObjectDecodeTicks(w, h), draw = WindowDrawTicks(w, h);
  int64_t dts = std::clamp(c.start - PlaneClearTicks(canvas) - decode - draw, earliest,
                           std::max(earliest, c.start - 8));
  DisplaySet set(out, dts);
  set.Add(kCompositionSegment, c.start, CompositionData(canvas, number, true, &c));
  set.Add(kWindowSegment, c.start - draw, WindowData(c));
  set.Add(kPaletteSegment, dts, PaletteData(c.picture));
  int64_t decoded = std::min(dts + decode, c.start - draw);
  for (auto& fragment : ObjectFragments(c.picture))
    set.Add(kObjectSegment, decoded, std::move(fragment));
  set.Add(kEndSegment, decoded, {});
  return std::max(set.NextDts(), decoded);
}

int64_t AddClear(std::vector<Segment>& out, const Composition& c, const CanvasFormat& canvas,
                 int number, int64_t earliest) {
  int64_t draw = WindowDrawTicks(c.picture.width, c.picture.height);
  int64_t dts = std::clamp(c.end - draw, earliest, std::max(earliest, c.end - 4));
  DisplaySet set(out, dts);
  set.Add(kCompositionSegment, c.end, CompositionData(canvas, number, false, nullptr));
  set.Add(kWindowSegment, dts, WindowData(c));
  set.Add(kEndSegment, dts, {});
  return std::max(set.NextDts(), c.end);
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

SegmentWriter::SegmentWriter(const CanvasFormat& canvas, Sink sink)
    : canvas_(canvas), sink_(std::move(sink)) {
  // An empty display set at time 0 starts the stream's time line where the film's
  // starts: ffmpeg moves every source so that its first time stamp meets the others'.
  DisplaySet anchor(made_, 0);
  anchor.Add(kCompositionSegment, 0, CompositionData(canvas_, number_++, true, nullptr));
  anchor.Add(kEndSegment, 0, {});
  free_ = anchor.NextDts();
  Hand();
}

void SegmentWriter::Add(Composition picture) {
  // The window stays when the next picture starts as the last one ends.
  if (pending_ && picture.start > pending_->end) Clear();
  free_ = AddPicture(made_, picture, canvas_, number_++, free_);
  pending_ = std::move(picture);
  Hand();
}

void SegmentWriter::Finish() {
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
