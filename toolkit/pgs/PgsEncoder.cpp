#include "toolkit/pgs/PgsEncoder.h"

#include "toolkit/Process.h"
#include "toolkit/pgs/CueDrawing.h"
#include "toolkit/pgs/CueTimeline.h"
#include "toolkit/pgs/PgsStream.h"

namespace quillet::toolkit::pgs {

std::optional<std::string> EncodePgs(const std::vector<Cue>& cues, const SubtitleStyle& style,
                                     double fps) {
  std::vector<std::vector<CueLine>> markup;
  for (const Cue& cue : cues) markup.push_back(ParseCueMarkup(cue.text));
  CanvasFormat canvas{style.width, style.height, fps};
  std::vector<Composition> pictures;
  for (const ShownCues& shown : VisibleCueSets(cues, fps)) {
    // A long film has thousands of pictures: a stop must not wait for the last one.
    if (Interrupted()) return std::nullopt;
    std::vector<std::vector<CueLine>> together;
    for (size_t i : shown.cues) together.push_back(markup[i]);
    auto bitmap = DrawCues(together, style);
    if (!bitmap) continue;  // cues without text
    Composition c;
    c.start = shown.start;
    c.end = shown.end;
    c.x = bitmap->x;
    c.y = bitmap->y;
    c.picture = QuantizeBitmap(*bitmap, canvas.HighDefinition());
    pictures.push_back(std::move(c));
  }
  if (pictures.empty()) return std::nullopt;
  return SerializeSegments(BuildSegments(pictures, canvas));
}

}  // namespace quillet::toolkit::pgs
