#include "toolkit/pgs/SrtReader.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string_view>

#include "toolkit/Process.h"

namespace quillet::toolkit::pgs {
namespace {

// Length of the UTF-8 sequence starting at text[i], 0 when it is not a valid one.
size_t Utf8SequenceAt(std::string_view text, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char c = byte(i);
  if (c < 0x80) return 1;
  size_t n = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || c == 0xC0 || c == 0xC1 || c > 0xF4 || i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return n;
}

// Line ends are ASCII, so no sequence spans two lines: checking line by line checks the file.
bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t n = Utf8SequenceAt(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Windows-1252's letters and signs in 0x80..0x9F (0 where the code page has none; those
// bytes are then taken as Latin-1 control codes).
constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string CodePageToUtf8(std::string_view text) {
  std::string out;
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    uint32_t cp = c;
    if (c >= 0x80 && c < 0xA0 && kWindows1252High[c - 0x80] != 0) cp = kWindows1252High[c - 0x80];
    AppendUtf8(out, cp);
  }
  return out;
}

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

// "01:02:03,456" (or with a '.') in milliseconds; a leading '-' puts it before the film.
std::optional<int32_t> ParseClock(std::string_view text) {
  bool before = !text.empty() && text.front() == '-';
  if (before) text.remove_prefix(1);
  int h = 0, m = 0, s = 0, ms = 0, used = 0;
  std::string copy(text);
  std::replace(copy.begin(), copy.end(), '.', ',');
  if (std::sscanf(copy.c_str(), "%d:%d:%d,%d%n", &h, &m, &s, &ms, &used) != 4) return std::nullopt;
  if (m > 59 || s > 59 || ms > 999 || h < 0 || m < 0 || s < 0 || ms < 0) return std::nullopt;
  int64_t total = ((static_cast<int64_t>(h) * 60 + m) * 60 + s) * 1000 + ms;
  if (total > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(before ? -total : total);
}

struct Timing {
  int32_t start, end;
};

std::optional<Timing> ParseTimingLine(std::string_view line) {
  size_t arrow = line.find("-->");
  if (arrow == std::string_view::npos) return std::nullopt;
  auto start = ParseClock(TrimView(line.substr(0, arrow)));
  std::string_view rest = TrimView(line.substr(arrow + 3));
  // Some writers add a position after the end time ("X1:... X2:...").
  rest = rest.substr(0, rest.find(' '));
  auto end = ParseClock(rest);
  if (!start || !end) return std::nullopt;
  return Timing{*start, *end};
}

bool IsNumber(std::string_view line) {
  line = TrimView(line);
  return !line.empty() && std::all_of(line.begin(), line.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c));
  });
}

// The lines of a stream with their offsets, read in large pieces; only the current line
// is held.
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in) {}

  // The next line without its end; false at the end of the stream.
  bool Next(std::string_view& line, uint64_t& offset) {
    size_t end;
    while ((end = buf_.find_first_of("\r\n", at_)) == std::string::npos ||
           (buf_[end] == '\r' && end + 1 == buf_.size() && !ended_)) {
      if (ended_) break;
      Refill();
    }
    if (end == std::string::npos && at_ == buf_.size()) return false;
    if (end == std::string::npos) end = buf_.size();
    line = std::string_view(buf_).substr(at_, end - at_);
    offset = base_ + at_;
    at_ = end + (end + 1 < buf_.size() && buf_[end] == '\r' && buf_[end + 1] == '\n' ? 2 : 1);
    at_ = std::min(at_, buf_.size());
    return true;
  }

 private:
  void Refill() {
    buf_.erase(0, at_);
    base_ += at_;
    at_ = 0;
    size_t had = buf_.size();
    buf_.resize(had + kPiece);
    in_.read(buf_.data() + had, kPiece);
    buf_.resize(had + static_cast<size_t>(in_.gcount()));
    ended_ = in_.gcount() == 0;
  }

  static constexpr size_t kPiece = 1 << 20;
  std::istream& in_;
  std::string buf_;
  size_t at_ = 0;
  uint64_t base_ = 0;
  bool ended_ = false;
};

// The cues of the lines as they come. A number line inside a cue's text is held until the
// next line tells whether it numbers a new cue (a cue that lost its closing blank line).
class CueIndexer {
 public:
  std::vector<CueSpan> cues;
  bool utf8 = true;

  void Line(std::string_view line, uint64_t offset) {
    utf8 = utf8 && IsUtf8(line);
    if (auto timing = ParseTimingLine(line)) {
      held_ = false;  // the next cue's number
      Close();
      open_ = true;
      cue_ = CueSpan{timing->start, timing->end};
      empty_ = true;
      return;
    }
    if (!open_) return;
    if (held_) AddText(heldBegin_, heldEnd_);
    held_ = false;
    if (TrimView(line).empty()) return Close();
    if (IsNumber(line)) {
      held_ = true, heldBegin_ = offset, heldEnd_ = offset + line.size();
      return;
    }
    AddText(offset, offset + line.size());
  }

  void Close() {
    if (held_) AddText(heldBegin_, heldEnd_);
    held_ = false;
    if (open_ && cue_.endMs > cue_.startMs) cues.push_back(cue_);
    open_ = false;
  }

 private:
  void AddText(uint64_t begin, uint64_t end) {
    if (empty_) cue_.offset = begin;
    empty_ = false;
    cue_.length = std::min<uint64_t>(end - cue_.offset, (1 << 24) - 1);
  }

  CueSpan cue_;
  bool open_ = false, empty_ = true, held_ = false;
  uint64_t heldBegin_ = 0, heldEnd_ = 0;
};

}  // namespace

std::optional<SrtFile> SrtFile::Read(std::unique_ptr<std::istream> in) {
  CueIndexer indexer;
  LineReader lines(*in);
  std::string_view line;
  uint64_t offset = 0;
  for (size_t n = 0; lines.Next(line, offset); ++n) {
    // A byte-order mark is no text.
    if (n == 0 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3), offset += 3;
    // A file of millions of cues takes seconds: a stop must not wait for its end.
    if (n % 4096 == 0 && Interrupted()) return std::nullopt;
    indexer.Line(line, offset);
  }
  indexer.Close();
  SrtFile file;
  file.in_ = std::move(in);
  file.codePage_ = !indexer.utf8;
  file.cues_ = std::move(indexer.cues);
  std::stable_sort(file.cues_.begin(), file.cues_.end(),
                   [](const CueSpan& a, const CueSpan& b) { return a.startMs < b.startMs; });
  return file;
}

std::string SrtFile::Text(const CueSpan& cue) {
  std::string raw(cue.length, '\0');
  in_->clear();
  in_->seekg(static_cast<std::streamoff>(cue.offset));
  in_->read(raw.data(), static_cast<std::streamsize>(raw.size()));
  raw.resize(static_cast<size_t>(in_->gcount()));
  if (codePage_) raw = CodePageToUtf8(raw);
  std::string text;
  std::string_view rest = raw;
  while (!rest.empty()) {
    size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
    std::string_view piece = TrimView(rest.substr(0, end));
    if (!piece.empty()) {
      if (!text.empty()) text += '\n';
      text += piece;
    }
    rest.remove_prefix(std::min(rest.size(), end + 1));
  }
  return text;
}

}  // namespace quillet::toolkit::pgs
