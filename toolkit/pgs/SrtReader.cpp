#include "toolkit/pgs/SrtReader.h"

#include <algorithm>
#include <cctype>
#include <optional>

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

// "01:02:03,456" (or with a '.') in milliseconds.
std::optional<int64_t> ParseClock(std::string_view text) {
  int h = 0, m = 0, s = 0, ms = 0, used = 0;
  std::string copy(text);
  std::replace(copy.begin(), copy.end(), '.', ',');
  if (std::sscanf(copy.c_str(), "%d:%d:%d,%d%n", &h, &m, &s, &ms, &used) != 4) return std::nullopt;
  if (m > 59 || s > 59 || ms > 999 || h < 0 || m < 0 || s < 0 || ms < 0) return std::nullopt;
  return ((static_cast<int64_t>(h) * 60 + m) * 60 + s) * 1000 + ms;
}

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

struct Timing {
  int64_t start, end;
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

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
      ++end;
    at = end + 1;
  }
  return lines;
}

}  // namespace

std::string SubtitleTextToUtf8(std::string_view raw) {
  if (raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
  return IsUtf8(raw) ? std::string(raw) : CodePageToUtf8(raw);
}

std::vector<Cue> ParseSrt(std::string_view utf8) {
  std::vector<Cue> cues;
  std::vector<std::string_view> lines = SplitLines(utf8);
  for (size_t i = 0; i < lines.size(); ++i) {
    auto timing = ParseTimingLine(lines[i]);
    if (!timing) continue;
    Cue cue{timing->start, timing->end, ""};
    size_t k = i + 1;
    for (; k < lines.size() && !TrimView(lines[k]).empty(); ++k) {
      // A cue that lost its closing blank line: the next number and timing start anew.
      if (IsNumber(lines[k]) && k + 1 < lines.size() && ParseTimingLine(lines[k + 1])) break;
      if (ParseTimingLine(lines[k])) break;
      if (!cue.text.empty()) cue.text += '\n';
      cue.text += TrimView(lines[k]);
    }
    i = k - 1;
    if (cue.endMs > cue.startMs) cues.push_back(std::move(cue));
  }
  return cues;
}

std::vector<Cue> ReadSrtBytes(std::string_view raw) {
  std::vector<Cue> cues = ParseSrt(SubtitleTextToUtf8(raw));
  std::stable_sort(cues.begin(), cues.end(),
                   [](const Cue& a, const Cue& b) { return a.startMs < b.startMs; });
  return cues;
}

}  // namespace quillet::toolkit::pgs
