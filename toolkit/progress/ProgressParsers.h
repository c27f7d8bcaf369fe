#pragma once
// What Debian's tools print about how far they are, read as it comes. A parser is fed
// the tool's bytes in pieces of any size; a line cut by a read waits for its end. Lines
// end in LF or CR (the tools rewrite their status line with CR).

#include <optional>
#include <string>
#include <string_view>

namespace quillet::toolkit {

class ProgressParser {
 public:
  virtual ~ProgressParser() = default;

  // Takes the next piece. Returns the complete lines that said nothing about progress,
  // with their line ends, for the log.
  std::string Feed(std::string_view bytes);
  // The tool has ended: a last line without its end is taken as it is.
  std::string Finish();

  // The share done, 0 to 1, of the last line that told it; nullopt before the first.
  std::optional<double> Fraction() const { return fraction_; }

 protected:
  // One line without its end; true when it told the progress (then Set was called).
  virtual bool TakeLine(std::string_view line) = 0;
  void Set(double fraction);

 private:
  std::string partial_;
  std::optional<double> fraction_;
};

// ffmpeg's "-progress" stream: key=value lines, "out_time_us" (or "out_time_ms", which
// ffmpeg also gives in microseconds) against the length of the source, "progress=end"
// when it is done. Without a known length only the end is told.
class FfmpegProgress : public ProgressParser {
 public:
  explicit FfmpegProgress(double durationSeconds) : durationUs_(durationSeconds * 1e6) {}

 protected:
  bool TakeLine(std::string_view line) override;

 private:
  double durationUs_;
};

// mkvmerge and mkvextract: "Progress: 42%".
class MkvToolNixProgress : public ProgressParser {
 protected:
  bool TakeLine(std::string_view line) override;
};

// mencoder's status line: "Pos:  12.3s    308f (12%)  41.0fps Trem:   1min ...".
class MencoderProgress : public ProgressParser {
 protected:
  bool TakeLine(std::string_view line) override;
};

}  // namespace quillet::toolkit
