#include "inspect/ReportReader.h"

#include <fstream>
#include <sstream>

#include "inspect/TextPieces.h"

namespace quillet {

std::optional<std::vector<std::string>> LoadReportLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return SplitReportLines(content.str());
}

std::vector<std::string> SplitReportLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

bool ReportReader::Read() {
  if (AtEnd()) return false;
  line_ = lines_[next_++];
  return true;
}

bool ReportReader::ReadUntil(const std::string& text) {
  while (Read())
    if (Contains(line_, text)) return true;
  return false;
}

std::optional<ReportReader::Stop> ReportReader::Examine(const std::string& text,
                                                        const std::string& trackMark) const {
  if (Contains(line_, text)) return Stop::Found;
  if (Contains(line_, trackMark)) return Stop::NextTrack;
  return std::nullopt;
}

ReportReader::Stop ReportReader::AdvanceTo(const std::string& text, const std::string& trackMark) {
  if (auto stop = Examine(text, trackMark)) return *stop;
  return ReadUntilInTrack(text, trackMark);
}

ReportReader::Stop ReportReader::ReadUntilInTrack(const std::string& text,
                                                  const std::string& trackMark) {
  while (Read())
    if (auto stop = Examine(text, trackMark)) return *stop;
  return Stop::End;
}

}  // namespace quillet
