#pragma once
// The markup of a cue's text: <i> and <b> (with their closing tags) style the text, a
// line end or <br> breaks the line; any other tag (<font ...>, <u>, {\an8}) is dropped.

#include <string>
#include <string_view>
#include <vector>

namespace quillet::toolkit::pgs {

struct TextRun {
  std::string text;  // UTF-8
  bool italic = false;
  bool bold = false;
  bool operator==(const TextRun&) const = default;
};

using CueLine = std::vector<TextRun>;  // empty runs are left out

// The lines of a cue; lines with no text are dropped.
std::vector<CueLine> ParseCueMarkup(std::string_view text);

}  // namespace quillet::toolkit::pgs
