#pragma once
// SubRip (.srt) files read as a stream: one pass notes each cue's times and where its
// text lies, so that a file of any length costs a few bytes per cue; the texts are read
// back when they are drawn.

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet::toolkit::pgs {

// A cue of the file: its times in milliseconds (negative before the film starts) and the
// bytes of its text (markup kept), from its first line to the end of its last.
struct CueSpan {
  int32_t startMs = 0, endMs = 0;
  uint64_t offset : 40 = 0;
  uint64_t length : 24 = 0;
};

class SrtFile {
 public:
  // Every cue with a timing line ("00:01:02,500 --> 00:01:04,000"), sorted by start.
  // Line ends may be CR LF, LF or CR; cue numbers may be missing or out of order, and runs
  // of blank lines are skipped. Cues whose end is not after their start are left out.
  // The text is UTF-8 unless some of it is no valid UTF-8: the whole file was then
  // written in the Windows code page (Latin-1 with its additions in 0x80..0x9F). nullopt
  // when a stop signal came (Interrupted()) before the end.
  static std::optional<SrtFile> Read(std::unique_ptr<std::istream> in);

  std::vector<CueSpan>& cues() { return cues_; }
  const std::vector<CueSpan>& cues() const { return cues_; }

  // A cue's text as UTF-8, its lines trimmed and joined by '\n'.
  std::string Text(const CueSpan& cue);

 private:
  std::unique_ptr<std::istream> in_;
  bool codePage_ = false;
  std::vector<CueSpan> cues_;
};

}  // namespace quillet::toolkit::pgs
