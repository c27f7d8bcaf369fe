#pragma once
// The Debian media tools as the end-to-end tests use them: run quietly, judged by their
// exit, and asked about the files they made.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "toolkit/Process.h"
#include "toolkit/Text.h"

namespace quillet::test {

// Runs a tool with both outputs captured.
inline toolkit::ToolResult Quiet(const std::vector<std::string>& argv) {
  toolkit::SetLogEnabled(false);
  toolkit::RunOptions options;
  options.captureOut = true;
  options.captureErr = true;
  return toolkit::RunProgram(argv, options);
}

// A tool run that must succeed; what it said is shown when it does not.
inline ::testing::AssertionResult Made(const std::vector<std::string>& argv) {
  const toolkit::ToolResult r = Quiet(argv);
  if (r.Ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << toolkit::ShowCommand(argv) << "\n" << r.err;
}

// ffprobe's value of one entry ("codec_name") of one stream ("a:0").
inline std::string Probe(const std::string& path, const std::string& stream,
                         const std::string& entry) {
  const toolkit::ToolResult r =
      Quiet({"ffprobe", "-v", "error", "-select_streams", stream, "-show_entries",
             "stream=" + entry, "-of", "default=nw=1:nk=1", path});
  return toolkit::Trim(toolkit::Split(r.out, '\n')[0]);
}

// The whole file decodes without a complaint.
inline ::testing::AssertionResult DecodesCleanly(const std::string& path) {
  const toolkit::ToolResult r =
      Quiet({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
  if (r.Ok() && toolkit::Trim(r.err).empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << ": " << r.err;
}

// The names in a folder, sorted.
inline std::vector<std::string> Entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quillet::test
