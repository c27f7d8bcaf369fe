#pragma once
// Hand-written Matroska reports (tests/fixtures/reports) in the report tool's layout,
// and a way to hand one to the program as the tool would.

#include <ostream>
#include <string>
#include <vector>

#include "inspect/TrackReport.h"
#include "tests/support/Fakes.h"

namespace quillet {

inline bool operator==(const TrackRow& a, const TrackRow& b) {
  return a.language == b.language && a.kind == b.kind && a.trackId == b.trackId;
}
inline void PrintTo(const TrackRow& row, std::ostream* os) {
  *os << "{\"" << row.language << "\", \"" << row.kind << "\", \"" << row.trackId << "\"}";
}

}  // namespace quillet

namespace quillet::test {

struct TestApp;

// Whole text of a file; throws when it is missing or empty.
std::string ReadFixtureFile(const std::string& path);

#ifdef QUILLET_SOURCE_DIR
// The whole text of tests/fixtures/reports/<name> (the source folder is known to the
// test executables only).
inline std::string ReportFixture(const std::string& name) {
  return ReadFixtureFile(std::string(QUILLET_SOURCE_DIR) + "/tests/fixtures/reports/" + name);
}
#endif

// The report's lines, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

// The stored rows of a track table.
std::vector<TrackRow> Rows(const TrackTable& table);

// Hands `report` to the program's track report parser as the report tool's file.
void ParseReport(TestApp& t, const std::string& report);

// Scripts the report tool: it writes `report` to the file named after its "-o".
void ScriptReportTool(FakeToolRunner& runner, const std::string& report);

}  // namespace quillet::test
