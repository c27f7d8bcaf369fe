#pragma once
// The Matroska report as lines, read front to back the way the parser walks a text
// file: one current line, reading past the end fails and keeps the current line.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

// Reads the report file into lines. Lines may end in CR LF or LF; the CR is dropped.
// Nothing when the file cannot be read.
std::optional<std::vector<std::string>> LoadReportLines(const std::string& path);
// The same for a report already in memory.
std::vector<std::string> SplitReportLines(const std::string& text);

class ReportReader {
 public:
  // Where a search stopped.
  enum class Stop {
    Found,      // the current line holds the text searched for
    NextTrack,  // the current line begins another track; the track searched has no such line
    End,        // the report ended without the text; the current line means nothing
  };

  explicit ReportReader(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  // Back to the start of the report, before its first line.
  void Rewind() {
    next_ = 0;
    line_.clear();
  }
  bool AtEnd() const { return next_ >= lines_.size(); }
  // Makes the next line the current one; false at the end (the current line stays).
  bool Read();
  const std::string& Line() const { return line_; }

  // Reads lines until one contains `text`; false when the report ends first.
  bool ReadUntil(const std::string& text);

  // Examines the current line first, then reads on, until a line contains `text` or
  // contains `trackMark` (the next track's entry), or the report ends.
  Stop AdvanceTo(const std::string& text, const std::string& trackMark);

  // Reads lines (the current one is not examined) until one contains `text` or
  // `trackMark`, or the report ends.
  Stop ReadUntilInTrack(const std::string& text, const std::string& trackMark);

 private:
  // Found or NextTrack when the current line decides the search, nothing otherwise.
  std::optional<Stop> Examine(const std::string& text, const std::string& trackMark) const;

  std::vector<std::string> lines_;
  std::size_t next_ = 0;
  std::string line_;
};

}  // namespace quillet
