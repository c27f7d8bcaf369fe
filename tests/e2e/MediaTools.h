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

// A small film: test picture and a tone, H.264 and 5.1 AC3 in Matroska.
inline ::testing::AssertionResult MakeSmallFilm(const std::string& path, int seconds) {
  return Made({"ffmpeg",     "-nostdin", "-y",
               "-v",         "error",    "-f",
               "lavfi",      "-i",       "testsrc=size=160x120:rate=25",
               "-f",         "lavfi",    "-i",
               "sine=f=440", "-t",       std::to_string(seconds),
               "-c:v",       "libx264",  "-preset",
               "ultrafast",  "-pix_fmt", "yuv420p",
               "-c:a",       "ac3",      "-ac",
               "6",          "-ar",      "48000",
               path});
}

// The duration ffprobe gives a stream ("v:0", "a:0"), in seconds; -1 when it gives none.
inline double StreamSeconds(const std::string& path, const std::string& stream) {
  return toolkit::ParseDecimal(Probe(path, stream, "duration")).value_or(-1);
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
