#pragma once
// A presentation-graphics (PGS) elementary stream as a .sup file holds it: segments, each
// "PG", PTS, DTS (90 kHz), type, size, data. A picture is a display set of composition
// (PCS), window (WDS), palette (PDS), object (ODS, in fragments small enough for a PES
// each) and end (END); when it goes, a composition without objects (+WDS, END) clears the
// window, unless the next picture starts right then. The stream opens with an empty display
// set at time 0 that starts an epoch with the first picture's window: a picture in the
// window defined before goes on in that epoch, any other starts an epoch of its own (and
// the decoder clears the whole plane first).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/pgs/PgsBitmap.h"

namespace quillet::toolkit::pgs {

enum SegmentType : uint8_t {
  kPaletteSegment = 0x14,
  kObjectSegment = 0x15,
  kCompositionSegment = 0x16,
  kWindowSegment = 0x17,
  kEndSegment = 0x80
};

struct Segment {
  uint8_t type = 0;
  uint32_t pts = 0, dts = 0;
  std::vector<uint8_t> data;
};

struct Composition {
  int64_t start = 0, end = 0;  // 90 kHz
  int x = 0, y = 0;            // of the picture on the canvas
  IndexedBitmap picture;
};

struct CanvasFormat {
  int width = 1920, height = 1080;
  double fps = 0;  // of the film; 0 when unknown
  bool HighDefinition() const { return height >= 720; }
};

// The decoder's times for a picture, in 90 kHz ticks: clearing the plane, decoding the
// object (at 128 Mbit/s) and drawing the window (at 256 Mbit/s).
int64_t PlaneClearTicks(const CanvasFormat& canvas);
int64_t ObjectDecodeTicks(int width, int height);
int64_t WindowDrawTicks(int width, int height);
// From a display set's first decode time to when it can be shown: the plane cleared at an
// epoch start while the object decodes (from `objectAt` ticks in), then the window drawn.
int64_t DisplaySetTicks(const CanvasFormat& canvas, bool epochStart, int width, int height,
                        int64_t objectAt);

// Room for an ODS: what a PES holds (65,535 bytes after its length field) less its header
// with PTS and DTS and the segment's head (type, size).
constexpr size_t kMaxSegmentData = 0xFFFF - 13 - 3;

// The segments of pictures handed one at a time, which must be in time order and not
// overlap. Decoding starts early enough for each picture to be shown at its start, but
// never before the previous display set is done; one without that room is shown later by
// the least the decoder needs, at most a frame. Decode times rise from segment to segment. Finished
// segments go to the sink as they are made; only the last picture is kept, until the next tells
// whether the window must be cleared in between.
class SegmentWriter {
 public:
  using Sink = std::function<void(const std::vector<Segment>&)>;
  SegmentWriter(const CanvasFormat& canvas, Sink sink);
  void Add(Composition picture);
  void Finish();  // after the last picture

 private:
  void Open(const Composition* first);
  void Clear();
  void Hand();

  CanvasFormat canvas_;
  Sink sink_;
  std::vector<Segment> made_;
  int number_ = 0;
  int64_t free_ = 0;  // the first free decode time
  std::optional<Composition> pending_;
  bool opened_ = false;
  std::vector<uint8_t> window_;  // the window defined last
};

// The segments of all the pictures at once.
std::vector<Segment> BuildSegments(const std::vector<Composition>& pictures,
                                   const CanvasFormat& canvas);

std::string SerializeSegments(const std::vector<Segment>& segments);
// nullopt when the bytes are no whole sequence of segments.
std::optional<std::vector<Segment>> ParseSegments(const std::string& bytes);

}  // namespace quillet::toolkit::pgs
