#include "tests/support/ReportFixtures.h"

#include <stdexcept>

#include "inspect/ReadInfo.h"
#include "inspect/ReportReader.h"
#include "tests/support/TestApp.h"

namespace quillet::test {

std::string ReadFixtureFile(const std::string& path) {
  const std::string text = ReadFile(path);
  if (text.empty()) throw std::runtime_error("missing fixture " + path);
  return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  return SplitReportLines(text);
}

std::vector<TrackRow> Rows(const TrackTable& table) {
  return {table.rows.begin(), table.rows.begin() + table.count};
}

void ParseReport(TestApp& t, const std::string& report) {
  WriteFile(ReportPath(t.app), report);
  ParseTrackReport(t.app);
}

void ScriptReportTool(FakeToolRunner& runner, const std::string& report) {
  runner.On("mkvinfo.exe", [report](const std::vector<std::string>& argv) {
    for (std::size_t i = 1; i + 1 < argv.size(); ++i)
      if (argv[i] == "-o") WriteFile(argv[i + 1], report);
    return std::string("report written\r\n");
  });
}

}  // namespace quillet::test
