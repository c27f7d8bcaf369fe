#pragma once
// Hand-written Matroska reports (tests/fixtures/reports) in the report tool's layout,
// and a way to hand one to the program as the tool would.

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "inspect/ReadInfo.h"
#include "inspect/ReportReader.h"
#include "inspect/TrackReport.h"
#include "tests/support/TestApp.h"

namespace quillet {

inline bool operator==(const TrackRow& a, const TrackRow& b) {
  return a.language == b.language && a.kind == b.kind && a.trackId == b.trackId;
}
inline void PrintTo(const TrackRow& row, std::ostream* os) {
  *os << "{\"" << row.language << "\", \"" << row.kind << "\", \"" << row.trackId << "\"}";
}

}  // namespace quillet

namespace quillet::test {

#ifdef QUILLET_SOURCE_DIR
// The whole text of tests/fixtures/reports/<name>; throws when it is missing or empty.
inline std::string ReportFixture(const std::string& name) {
  const std::string path = std::string(QUILLET_SOURCE_DIR) + "/tests/fixtures/reports/" + name;
  const std::string text = ReadFile(path);
  if (text.empty()) throw std::runtime_error("missing fixture " + path);
  return text;
}
#endif

// The report's lines, without their line ends.
inline std::vector<std::string> SplitLines(const std::string& text) {
  return SplitReportLines(text);
}

// The stored rows of a track table.
inline std::vector<TrackRow> Rows(const TrackTable& table) {
  return {table.rows.begin(), table.rows.begin() + table.count};
}

// Hands `report` to the program's track report parser as the report tool's file.
inline void ParseReport(TestApp& t, const std::string& report) {
  WriteFile(ReportPath(t.app), report);
  ParseTrackReport(t.app);
}

// Scripts the report tool: it writes `report` to the file named after its "-o".
inline void ScriptReportTool(FakeToolRunner& runner, const std::string& report) {
  runner.On("mkvinfo.exe", [report](const std::vector<std::string>& argv) {
    for (std::size_t i = 1; i + 1 < argv.size(); ++i)
      if (argv[i] == "-o") WriteFile(argv[i + 1], report);
    return std::string("report written\r\n");
  });
}

}  // namespace quillet::test
