#include "tests/support/TsScaffold.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

bool Holds(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0;
}

// The first quoted path of a job-file line.
std::string QuotedPath(const std::string& line) {
  const size_t open = line.find('"');
  const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
  return close == std::string::npos ? "" : line.substr(open + 1, close - open - 1);
}

// Every stream the job file names can be read.
bool InputsReadable(const std::vector<std::string>& lines) {
  if (lines.size() < 3) return false;
  for (size_t i = 1; i < lines.size(); ++i)
    if (!Holds(QuotedPath(lines[i]))) return false;
  return true;
}

// The muxer: a transport stream, or with "--blu-ray" the folder tree of one clip.
std::string FakeTsMuxer(const Argv& argv, std::string* seen) {
  if (argv.size() < 3) return "";
  *seen = ReadFile(argv[1]);
  const std::vector<std::string> lines = CrLfLines(*seen);
  if (!InputsReadable(lines)) return "";
  if (lines[0].find("--blu-ray") == std::string::npos) {
    WriteFile(argv[2], "ts of " + *seen);
    return "";
  }
  fs::create_directories(fs::path(argv[2]) / "BDMV" / "STREAM");
  WriteFile(fs::path(argv[2]) / "BDMV" / "index.bdmv", "INDX0200");
  WriteFile(fs::path(argv[2]) / "BDMV" / "STREAM" / "00000.m2ts", "clip of " + *seen);
  return "";
}

// The header tool reads both paths from the ini file beside it.
std::string FakeHeaderTool(const Argv& argv) {
  std::ifstream ini(fs::path(argv[0]).parent_path() / "h264info.ini");
  std::string line, input, output;
  while (std::getline(ini, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("InputPath=", 0) == 0) input = line.substr(10);
    if (line.rfind("OutputPath=", 0) == 0) output = line.substr(11);
  }
  if (Holds(input) && !output.empty()) WriteFile(output, "level 4.1 of " + input);
  return "";
}

// A tool that reads the argument before `marker` (or the first) and writes the last.
FakeToolRunner::Action Converts(const std::string& tag, const std::string& marker = "") {
  return [tag, marker](const Argv& a) {
    size_t in = 1;
    for (size_t i = 1; i < a.size(); ++i)
      if (!marker.empty() && a[i] == marker) in = i - 1;
    if (a.size() > 2 && Holds(a[in])) WriteFile(a.back(), tag + " of " + a[in]);
    return std::string();
  };
}

}  // namespace

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void TsScaffold::ReadyTs(AudioType audio) {
  Ready(audio);
  ScriptTsTools();
}

void TsScaffold::ScriptTsTools() {
  MakeTool("h264info/h264info.exe");  // the header tool's settings file lives beside it
  runner.On("tsmuxer.exe", [this](const Argv& a) { return FakeTsMuxer(a, &muxedMeta); });
  runner.On("aften.exe", Converts("ac3"));
  runner.On("faad.exe", Converts("faad", "-o"));
  runner.On("h264info.exe", FakeHeaderTool);
}

}  // namespace quillet::test
