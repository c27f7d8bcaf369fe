#pragma once
// Hand-written Matroska reports (tests/fixtures/reports) in the report tool's layout,
// and a way to hand one to the program as the tool would.

#include <string>
#include <vector>

#include "tests/support/Fakes.h"

namespace quillet::test {

// Whole text of a file; throws when it is missing or empty.
std::string ReadFixtureFile(const std::string& path);

#ifdef QUILLET_SOURCE_DIR
// Path and whole text of tests/fixtures/reports/<name>. Inline: the source folder is
// known to the test executables only.
inline std::string ReportFixturePath(const std::string& name) {
  return std::string(QUILLET_SOURCE_DIR) + "/tests/fixtures/reports/" + name;
}
inline std::string ReportFixture(const std::string& name) {
  return ReadFixtureFile(ReportFixturePath(name));
}
#endif

// The report's lines, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

// Scripts the report tool: it writes `report` to the file named after its "-o".
void ScriptReportTool(FakeToolRunner& runner, const std::string& report);

}  // namespace quillet::test
