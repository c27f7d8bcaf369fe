#pragma once
// SubRip (.srt) files as cues: the text as found (markup kept, lines joined by '\n') with
// start and end in milliseconds.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::toolkit::pgs {

struct Cue {
  int64_t startMs = 0;
  int64_t endMs = 0;
  std::string text;  // UTF-8, lines joined by '\n'
};

// A subtitle file's bytes as UTF-8: a byte-order mark is dropped; text that is no valid
// UTF-8 was written in the Windows code page (Latin-1 with its additions in 0x80..0x9F).
std::string SubtitleTextToUtf8(std::string_view raw);

// Every cue with a timing line ("00:01:02,500 --> 00:01:04,000"). Line ends may be CR LF
// or LF; cue numbers may be missing or out of order, and runs of blank lines are skipped.
// Cues whose end is not after their start are left out.
std::vector<Cue> ParseSrt(std::string_view utf8);

// The cues of a subtitle file's raw bytes, sorted by start.
std::vector<Cue> ReadSrtBytes(std::string_view raw);

}  // namespace quillet::toolkit::pgs
