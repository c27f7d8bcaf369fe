#pragma once
// Drawing cues with Qt's text layout on a canvas the size of the video: lines in their
// script's order (right to left, shaped), centred (or as aligned) above the bottom offset,
// wrapped where wider than the picture allows, bordered in black. Only the lines' box is
// drawn. Qt is started without a display when the process has none; once it is (by
// ResolvedFontFamily on the main thread), DrawCues may run on several threads at once.

#include <optional>
#include <string>
#include <vector>

#include "toolkit/pgs/CueMarkup.h"
#include "toolkit/pgs/PgsBitmap.h"
#include "toolkit/pgs/SubtitleStyle.h"

namespace quillet::toolkit::pgs {

// The cues seen together, the first (earliest) lowest; the picture is cut to the drawn
// pixels (at least 8 x 8, as decoders want). nullopt when nothing is drawn.
std::optional<Bitmap> DrawCues(const std::vector<std::vector<CueLine>>& cues,
                               const SubtitleStyle& style);

// The family the font name resolves to (fontconfig's substitute for a missing one).
std::string ResolvedFontFamily(const SubtitleStyle& style);

}  // namespace quillet::toolkit::pgs
