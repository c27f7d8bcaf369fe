#include "toolkit/pgs/CueMarkup.h"

#include <algorithm>
#include <cctype>

namespace quillet::toolkit::pgs {
namespace {

struct Builder {
  std::vector<CueLine> lines{1};
  std::string pending;
  bool italic = false, bold = false;

  void Flush() {
    if (!pending.empty()) lines.back().push_back({pending, italic, bold});
    pending.clear();
  }
  void Break() {
    Flush();
    lines.emplace_back();
  }
  // A tag's name in lower case and whether it closes ("</i>").
  void Tag(std::string_view inside) {
    bool closing = !inside.empty() && inside.front() == '/';
    if (closing) inside.remove_prefix(1);
    std::string name;
    for (char c : inside) {
      if (!std::isalpha(static_cast<unsigned char>(c))) break;
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (name == "br") return Break();
    if (name != "i" && name != "b") return;
    Flush();
    (name == "i" ? italic : bold) = !closing;
  }
};

bool HasText(const CueLine& line) {
  return std::any_of(line.begin(), line.end(), [](const TextRun& run) {
    return run.text.find_first_not_of(" \t") != std::string::npos;
  });
}

}  // namespace

std::vector<CueLine> ParseCueMarkup(std::string_view text) {
  Builder b;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    size_t close = std::string_view::npos;
    if (c == '<' && i + 1 < text.size() &&
        (std::isalpha(static_cast<unsigned char>(text[i + 1])) || text[i + 1] == '/'))
      close = text.find('>', i);
    else if (c == '{' && i + 1 < text.size() && text[i + 1] == '\\')
      close = text.find('}', i);
    if (close != std::string_view::npos) {
      if (c == '<') b.Tag(text.substr(i + 1, close - i - 1));
      i = close;
    } else if (c == '\n') {
      b.Break();
    } else if (c == '\\' && i + 1 < text.size() && (text[i + 1] == 'N' || text[i + 1] == 'n')) {
      b.Break();  // the line break of the SubStation kind, found in converted files
      ++i;
    } else if (c != '\r') {
      b.pending += c;
    }
  }
  b.Flush();
  std::vector<CueLine> lines;
  for (CueLine& line : b.lines)
    if (HasText(line)) lines.push_back(std::move(line));
  return lines;
}

}  // namespace quillet::toolkit::pgs
