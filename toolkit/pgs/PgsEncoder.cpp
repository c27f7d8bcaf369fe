#include "toolkit/pgs/PgsEncoder.h"

#include <deque>

#include "toolkit/Process.h"
#include "toolkit/pgs/CueDrawing.h"
#include "toolkit/pgs/DrawingWorkers.h"
#include "toolkit/pgs/PgsStream.h"

namespace quillet::toolkit::pgs {
namespace {

constexpr int kWorkers = 2;
// Pictures asked for ahead of the one written next: the workers never wait for the
// writer, and few pictures are held.
constexpr size_t kAhead = 8;

struct Interval {
  int64_t start = 0, end = 0;
  std::vector<std::string> texts;
};

// The pictures, asked for in time order and written in that order as they are drawn.
class PictureQueue {
 public:
  PictureQueue(const SubtitleStyle& style, double fps, std::ostream& out)
      : canvas_{style.width, style.height, fps},
        writer_(canvas_,
                [&out](const std::vector<Segment>& made) { out << SerializeSegments(made); }),
        workers_(style, kWorkers) {}

  // false when a stop came.
  bool Push(Interval shown) {
    ahead_.push_back({shown.start, shown.end, workers_.Request(std::move(shown.texts))});
    return ahead_.size() <= kAhead || WriteFirst();
  }

  bool Finish() {
    while (!ahead_.empty())
      if (!WriteFirst()) return false;
    writer_.Finish();
    return true;
  }

  size_t pictures() const { return pictures_; }

 private:
  struct Asked {
    int64_t start, end;
    std::shared_ptr<DrawingWorkers::Drawing> drawing;
  };

  bool WriteFirst() {
    const DrawnCues* drawn = workers_.Await(*ahead_.front().drawing);
    if (!drawn) return false;
    if (drawn->drawn) {  // else cues without text
      writer_.Add(Composition{ahead_.front().start, ahead_.front().end, drawn->x, drawn->y,
                              drawn->picture});
      ++pictures_;
    }
    ahead_.pop_front();
    return true;
  }

  CanvasFormat canvas_;
  SegmentWriter writer_;
  DrawingWorkers workers_;
  std::deque<Asked> ahead_;
  size_t pictures_ = 0;
};

}  // namespace

PgsResult EncodePgs(SrtFile& cues, const SubtitleStyle& style, double fps, int64_t filmEndMs,
                    std::ostream& out) {
  PgsResult result;
  result.fit = FitToFilm(cues.cues(), filmEndMs);
  ResolvedFontFamily(style);  // Qt's application is made here, before the workers draw
  PictureQueue queue(style, fps, out);
  CueTimeline timeline(cues.cues(), fps);
  std::optional<Interval> last;
  while (auto shown = timeline.Next()) {
    // A long film has thousands of pictures: a stop must not wait for the last one.
    if (Interrupted()) return result.stopped = true, result;
    Interval next{shown->start, shown->end, {}};
    for (size_t i : shown->cues) next.texts.push_back(cues.Text(cues.cues()[i]));
    if (last && last->end == next.start && last->texts == next.texts) {
      last->end = next.end;
      continue;
    }
    if (last && !queue.Push(std::move(*last))) return result.stopped = true, result;
    last = std::move(next);
  }
  result.stopped = (last && !queue.Push(std::move(*last))) || !queue.Finish();
  result.pictures = queue.pictures();
  return result;
}

}  // namespace quillet::toolkit::pgs
