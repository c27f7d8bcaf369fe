#include "toolkit/progress/ProgressParsers.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace quillet::toolkit {
namespace {

// The number at the start of `text` after blanks; nullopt when there is none.
std::optional<double> LeadingNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return value;
}

// "N%" after `label` at the start of the line (blanks before the number allowed).
std::optional<double> PercentAfter(std::string_view line, std::string_view label) {
  if (line.substr(0, label.size()) != label) return std::nullopt;
  std::string_view rest = line.substr(label.size());
  const size_t percent = rest.find('%');
  if (percent == std::string_view::npos) return std::nullopt;
  return LeadingNumber(rest.substr(0, percent));
}

}  // namespace

std::string ProgressParser::Feed(std::string_view bytes) {
  std::string passed;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\n' && bytes[i] != '\r') continue;
    partial_.append(bytes.substr(start, i - start));
    if (!TakeLine(partial_)) passed += partial_ + bytes[i];
    partial_.clear();
    start = i + 1;
  }
  partial_.append(bytes.substr(start));
  return passed;
}

std::string ProgressParser::Finish() {
  std::string last;
  if (!partial_.empty() && !TakeLine(partial_)) last = partial_;
  partial_.clear();
  return last;
}

void ProgressParser::Set(double fraction) {
  fraction_ = std::clamp(fraction, 0.0, 1.0);
}

bool FfmpegProgress::TakeLine(std::string_view line) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view key = line.substr(0, equals);
  const std::string_view value = line.substr(equals + 1);
  if (key == "progress") {
    if (value == "end") Set(1.0);
    return true;
  }
  if (key == "out_time_us" || key == "out_time_ms") {
    // "N/A" before the first frame is written.
    auto us = LeadingNumber(value);
    if (us && durationUs_ > 0) Set(*us / durationUs_);
  }
  // Every line of this stream is progress; none belongs in the log.
  return true;
}

bool MkvToolNixProgress::TakeLine(std::string_view line) {
  auto percent = PercentAfter(line, "Progress:");
  if (!percent) return false;
  Set(*percent / 100.0);
  return true;
}

bool MencoderProgress::TakeLine(std::string_view line) {
  if (line.substr(0, 4) != "Pos:") return false;
  const size_t open = line.find('(');
  const size_t percent = line.find('%', open == std::string_view::npos ? 0 : open);
  if (open != std::string_view::npos && percent != std::string_view::npos) {
    auto value = LeadingNumber(line.substr(open + 1, percent - open - 1));
    if (value) Set(*value / 100.0);
  }
  return true;
}

}  // namespace quillet::toolkit
